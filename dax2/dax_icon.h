// Icons and image buttons that show bitmaps of the bitmap registry by id or
// by name. Each widget owns the small image wrapper it makes around the
// registry's bitmap; the bitmap itself always stays the registry's.
#pragma once

#include <string>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_mptr.h"
#include "gcn/image.hpp"
#include "gcn/widgets/icon.hpp"
#include "gcn/widgets/imagebutton.hpp"

// A gcn::Icon showing a registry bitmap; the icon takes the bitmap's size.
class DaxIcon : public gcn::Icon {
public:
    DaxIcon() = default;
    // Frees the wrapper, never the registry's bitmap.
    ~DaxIcon() override;

    // Shows the bitmap of id. An invalid id raises the registry's "bmp index
    // out of range 0..%d: %d" and leaves the icon as it was. An entry
    // without bitmap shows nothing.
    void setBitmap(DaxBitmapIndex id);

    // The wrapper held now (null before the first setBitmap).
    gcn::Image* heldImage() const { return image.get(); }

    // The wrapper this icon made; empty until setBitmap.
    mptr<gcn::Image> image;
};

// A gcn::ImageButton showing a registry bitmap; the button keeps its size
// (call adjustSize to fit it to the picture).
class DaxImageButton : public gcn::ImageButton {
public:
    DaxImageButton() = default;
    ~DaxImageButton() override;

    // As DaxIcon::setBitmap.
    void setBitmap(DaxBitmapIndex id);
    // The first variant of a registered name. A name that is not registered
    // gives no id and raises the registry's range error for -2.
    void setBitmapName(const std::string& name);

    gcn::Image* heldImage() const { return image.get(); }

    mptr<gcn::Image> image;
};

// Number of registry-bitmap wrappers alive (the Allegro images that DaxIcon
// and DaxImageButton make around registry bitmaps and have not yet deleted),
// so that a leaked or doubly freed wrapper shows.
int daxRegistryImagesAlive();
