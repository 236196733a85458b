#include "dax2/dax_icon.h"

#include <memory>

#include "al5gcn/allegro5image.hpp"

namespace {

int g_alive = 0;

// An Allegro image that borrows a registry bitmap.
class DaxRegistryImage : public gcn::Allegro5Image {
public:
    // auto-free false: the registry owns the bitmap and destroys it itself.
    explicit DaxRegistryImage(ALLEGRO_BITMAP* bitmap) : gcn::Allegro5Image(bitmap, false) { ++g_alive; }
    ~DaxRegistryImage() override { --g_alive; }
    // The registry's bitmap is not ours to destroy, whoever asks.
    void free() override {}
};

// A new wrapper of the registry bitmap of id, or null for an entry without
// bitmap. Raises for an invalid id before anything is made.
std::unique_ptr<gcn::Image> wrapRegistryBitmap(DaxBitmapIndex id) {
    const DaxBitmapEntry& entry = dax_bitmaps.entry(id);
    if (!entry.bitmap_) {
        return nullptr;
    }
    return std::make_unique<DaxRegistryImage>(entry.bitmap_);
}

}  // namespace

int daxRegistryImagesAlive() { return g_alive; }

DaxIcon::~DaxIcon() {
    // The widget must not be left pointing at the wrapper while it goes.
    gcn::Icon::setImage(nullptr);
    image.release();
}

void DaxIcon::setBitmap(DaxBitmapIndex id) {
    std::unique_ptr<gcn::Image> wrapper = wrapRegistryBitmap(id);
    // The icon learns of the new picture before the old wrapper goes, so it
    // never holds a deleted one.
    gcn::Icon::setImage(wrapper.get());
    image.reset(wrapper.release());
}

DaxImageButton::~DaxImageButton() {
    gcn::ImageButton::setImage(nullptr);
    image.release();
}

void DaxImageButton::setBitmap(DaxBitmapIndex id) {
    std::unique_ptr<gcn::Image> wrapper = wrapRegistryBitmap(id);
    gcn::ImageButton::setImage(wrapper.get());
    image.reset(wrapper.release());
}

void DaxImageButton::setBitmapName(const std::string& name) { setBitmap(dax_bitmaps.findVariant(name, 0)); }
