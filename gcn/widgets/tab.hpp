// One tab of a tabbed area: a caption label in a small raised box. The tab
// owns its label.
#pragma once

#include <string>

#include "gcn/listeners.hpp"
#include "gcn/widgets/container.hpp"

namespace gcn {

class Label;
class TabbedArea;

class Tab : public BasicContainer, public MouseListener {
public:
    Tab();
    ~Tab() override;

    // Sizes the label and the tab to the caption; the area the tab belongs
    // to places its tabs again.
    void setCaption(const char* caption);
    void setCaption(const std::string& caption) { setCaption(caption.c_str()); }
    const std::string& getCaption() const;
    void setTabbedArea(TabbedArea* area) { tabbed_area_ = area; }
    TabbedArea* getTabbedArea() const { return tabbed_area_; }
    bool hasMouse() const { return has_mouse_; }

    // Raised like the selected tab while selected or under the mouse,
    // else flat and a little darker.
    void draw(Graphics* graphics) override;

    // MouseListener
    void mouseEntered(MouseEvent& event) override;
    void mouseExited(MouseEvent& event) override;

protected:
    Label* label_;
    bool has_mouse_ = false;
    TabbedArea* tabbed_area_ = nullptr;
};

}  // namespace gcn
