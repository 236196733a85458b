// Shows the selected row of a list box in one line and folds out a scroll
// area holding that list box below it. A scroll area or list box passed in
// stays the caller's; missing ones are created and owned here.
#pragma once

#include <vector>

#include "gcn/focushandler.hpp"
#include "gcn/listeners.hpp"
#include "gcn/widgets/container.hpp"

namespace gcn {

class ListBox;
class ListModel;
class ScrollArea;

class DropDown : public ActionListener,
                 public BasicContainer,
                 public KeyListener,
                 public MouseListener,
                 public FocusListener,
                 public SelectionListener {
public:
    // Selects row 0 when the model has rows. The width is the owner's to set.
    explicit DropDown(ListModel* model = nullptr, ScrollArea* scroll_area = nullptr, ListBox* list_box = nullptr);
    ~DropDown() override;

    // The list box's selection. Negative rows are ignored.
    int getSelected() const;
    void setSelected(int selected);
    // Row 0 is selected when nothing is.
    void setListModel(ListModel* model);
    ListModel* getListModel() const;
    ScrollArea* getScrollArea() const { return scroll_area_; }
    ListBox* getListBox() const { return list_box_; }
    bool isDroppedDown() const { return dropped_down_; }
    int getFoldedUpHeight() const { return folded_up_height_; }

    // One text line when folded up; folded out, as high as the list or as
    // the parent's children area below the drop-down allows. Raises
    // "Scroll area has been deleted." or "List box has been deleted." when
    // either part is gone.
    void adjustHeight();

    void addSelectionListener(SelectionListener* listener) { selection_listeners_.push_back(listener); }
    void removeSelectionListener(SelectionListener* listener);

    virtual void drawButton(Graphics* graphics);
    // Folds the list out over the rest of the parent and focuses it.
    virtual void dropDown();
    virtual void foldUp();

    // ActionListener: a row was chosen in the list.
    void action(const ActionEvent& event) override;
    // SelectionListener: passes the list's change on as the drop-down's own.
    void valueChanged(const SelectionEvent& event) override;
    // DeathListener: forgets the scroll area or list box when it dies.
    void death(const Event& event) override;
    // FocusListener
    void focusLost(const Event& event) override;
    // KeyListener
    void keyPressed(KeyEvent& event) override;
    // MouseListener
    void mousePressed(MouseEvent& event) override;
    void mouseReleased(MouseEvent& event) override;
    void mouseWheelMovedUp(MouseEvent& event) override;
    void mouseWheelMovedDown(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;

    void draw(Graphics* graphics) override;
    Rectangle getChildrenArea() override;

protected:
    bool holdsModalMouseInputFocus() const;
    void distributeValueChangedEvent();

    bool dropped_down_ = false;
    bool pushed_ = false;
    int folded_up_height_ = 0;
    ScrollArea* scroll_area_ = nullptr;
    ListBox* list_box_ = nullptr;
    FocusHandler own_focus_handler_;
    bool owns_scroll_area_ = false;
    bool owns_list_box_ = false;
    bool dragged_ = false;
    std::vector<SelectionListener*> selection_listeners_;
};

}  // namespace gcn
