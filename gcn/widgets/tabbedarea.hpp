// A row of tabs above one content area: pressing a tab (or Left and Right
// on the focused area) shows the page widget that belongs to it. The area
// owns its two inner containers and the tabs it created from captions;
// page widgets and tabs handed in stay the caller's.
#pragma once

#include <vector>

#include "gcn/listeners.hpp"
#include "gcn/widgets/container.hpp"

namespace gcn {

class Tab;

class TabbedArea : public ActionListener, public BasicContainer, public KeyListener, public MouseListener {
public:
    TabbedArea();
    ~TabbedArea() override;

    // The first tab added is selected; later ones leave the selection.
    void addTab(Tab* tab, Widget* widget);
    // A tab made (and owned) by the area.
    void addTab(const char* caption, Widget* widget);
    // The neighbour takes over the selection of a removed selected tab.
    void removeTab(Tab* tab);
    int getNumberOfTabs() const { return static_cast<int>(tabs_.size()); }
    // Both raise "No such tab index." for an index outside the tabs.
    Tab* getTab(int index) const;
    void setSelectedTab(int index);
    void setSelectedTab(Tab* tab);
    // -1 without a selection.
    int getSelectedTabIndex() const;
    Tab* getSelectedTab() const { return selected_tab_; }
    bool isTabSelected(const Tab* tab) const { return selected_tab_ == tab; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool isOpaque() const { return opaque_; }

    // Lays the two inner containers out for the current size.
    void adjustSize();
    // Tabs left to right, bottoms aligned.
    void adjustTabPositions();
    // As wide as the widest page and as high as the tallest page plus the
    // tallest tab.
    void resizeToContent();

    // The containers are laid out for the new size before the resize
    // notification goes out.
    void setDimension(const Rectangle& dimension) override;
    void setBaseColor(const Color& color) override;

    // ActionListener: raises "Received an action from a widget that's not a
    // tab!" for any other source.
    void action(const ActionEvent& event) override;
    // DeathListener: a dying tab is removed and a dying page forgotten.
    void death(const Event& event) override;
    // KeyListener
    void keyPressed(KeyEvent& event) override;
    // MouseListener
    void mousePressed(MouseEvent& event) override;

    void draw(Graphics* graphics) override;

protected:
    // A tab and its page (null once the page died). The tab is also kept as
    // a widget pointer taken while it was whole, so that a dying tab, no
    // longer a Tab, is still recognised without a cast.
    struct TabEntry {
        Tab* first;
        Widget* second;
        const Widget* as_widget;
    };

    int tallestTab() const;
    // Takes the tab out of the area; it is deleted when the area made it
    // and is not already dying.
    void removeTabInternal(const Widget* tab, bool dying);

    Tab* selected_tab_ = nullptr;
    Container* tab_container_;
    Container* widget_container_;
    std::vector<Tab*> tabs_to_delete_;
    std::vector<TabEntry> tabs_;
    bool opaque_ = false;
};

}  // namespace gcn
