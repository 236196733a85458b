// One line of text, optionally on a background filled with the widget's
// background colour.
#pragma once

#include <string>

#include "gcn/widget.hpp"

namespace gcn {

class Label : public Widget {
public:
    // Empty caption, left aligned, transparent; no size.
    Label();
    // The same with a caption (null: empty), sized to it.
    explicit Label(const char* caption);

    // Store only; the size stays.
    void setCaption(const char* caption);
    void setCaption(const std::string& caption) { caption_ = caption; }
    const std::string& getCaption() const { return caption_; }
    // 0 left, 1 centre, 2 right.
    void setAlignment(int alignment) { alignment_ = alignment; }
    int getAlignment() const { return alignment_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool isOpaque() const { return opaque_; }

    // The caption's width and the font height.
    void adjustSize();

    // Raises "Unknown alignment." for an alignment other than 0, 1 and 2.
    void draw(Graphics* graphics) override;

protected:
    std::string caption_;
    int alignment_ = 0;
    bool opaque_ = false;
};

}  // namespace gcn
