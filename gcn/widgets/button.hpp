// A push button with a text caption.
#pragma once

#include <string>

#include "gcn/widgets/buttonbase.hpp"

namespace gcn {

class Button : public ButtonBase {
public:
    // Both size the button to the caption (null: empty).
    Button();
    explicit Button(const char* caption);

    // Store the caption (null clears it); the size stays.
    void setCaption(const char* caption);
    void setCaption(const std::string& caption) { caption_ = caption; }
    const std::string& getCaption() const { return caption_; }

    // The caption's width and the font height, plus the spacing all round.
    void adjustSize();

    // Raises "Unknown alignment." for an alignment other than 0, 1 and 2.
    void draw(Graphics* graphics) override;

protected:
    std::string caption_;
};

}  // namespace gcn
