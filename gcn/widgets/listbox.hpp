// The rows of a list model, one per line, with one selected row. The model
// is never owned. Every setSelected tells the selection listeners, also
// when the row stays the same; a press or Enter/Space sends the action.
#pragma once

#include <vector>

#include "gcn/listeners.hpp"
#include "gcn/widget.hpp"

namespace gcn {

class ListModel;

class ListBox : public Widget, public MouseListener, public KeyListener {
public:
    ListBox();
    explicit ListBox(ListModel* model);

    // Selection -1; with a model the height fits its rows.
    void setListModel(ListModel* model);
    ListModel* getListModel() const { return list_model_; }
    int getSelected() const { return selected_; }
    // Clamped to -1 ... rows - 1 (-1 without a model), brought into view,
    // then the value-changed event.
    void setSelected(int selected);
    // Up on the first row goes to the last and Down on the last to the first.
    void setWrappingEnabled(bool wrapping) { wrapping_ = wrapping; }
    bool isWrappingEnabled() const { return wrapping_; }

    void addSelectionListener(SelectionListener* listener) { selection_listeners_.push_back(listener); }
    // Takes out every occurrence.
    void removeSelectionListener(SelectionListener* listener);

    // With a model, height = rows x row height.
    void adjustSize();
    // The font height.
    virtual int getRowHeight() const;

    void draw(Graphics* graphics) override;
    void logic() override { adjustSize(); }

    // MouseListener
    void mousePressed(MouseEvent& event) override;
    void mouseWheelMovedUp(MouseEvent& event) override;
    void mouseWheelMovedDown(MouseEvent& event) override;
    void mouseDragged(MouseEvent& event) override;
    // KeyListener
    void keyPressed(KeyEvent& event) override;

protected:
    void distributeValueChangedEvent();
    int rowCount() const;

    int selected_ = -1;
    ListModel* list_model_ = nullptr;
    bool wrapping_ = false;
    std::vector<SelectionListener*> selection_listeners_;
};

}  // namespace gcn
