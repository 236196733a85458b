#include "gcn/widgets/tabbedarea.hpp"

#include <algorithm>

#include "gcn/exception.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/tab.hpp"

namespace gcn {

namespace {

const char* const kFile = "gcn\\widgets\\tabbedarea";
const char* const kNoSuchTab = "No such tab index.";

bool hasChild(const BasicContainer* c, const Widget* w) {
    const BasicContainer::Widgets& children = c->getChildren();
    return std::find(children.begin(), children.end(), w) != children.end();
}

}  // namespace

TabbedArea::TabbedArea() : tab_container_(new Container()), widget_container_(new Container()) {
    setFocusable(true);
    addKeyListener(this);
    addMouseListener(this);
    tab_container_->setOpaque(false);
    add(tab_container_);
    add(widget_container_);
}

TabbedArea::~TabbedArea() {
    // Nothing that outlives the area may call back into it.
    for (auto& pair : tabs_) {
        if (Widget::widgetExists(pair.first)) {
            pair.first->removeActionListener(this);
            pair.first->removeDeathListener(this);
            pair.first->setTabbedArea(nullptr);
        }
        if (pair.second && Widget::widgetExists(pair.second)) {
            pair.second->removeDeathListener(this);
        }
    }
    tabs_.clear();
    selected_tab_ = nullptr;
    remove(tab_container_);
    remove(widget_container_);
    delete tab_container_;
    delete widget_container_;
    for (Tab* tab : tabs_to_delete_) {
        delete tab;
    }
}

void TabbedArea::addTab(Tab* tab, Widget* widget) {
    if (tab == nullptr) {
        throw GCN_EXCEPTION("Trying to add a null tab.", "gcn::TabbedArea::addTab");
    }
    tab->setTabbedArea(this);
    tab->addActionListener(this);
    tab_container_->add(tab);
    // After the tab container: its own death handling runs first.
    tab->addDeathListener(this);
    if (widget) {
        widget->addDeathListener(this);
    }
    tabs_.push_back(TabEntry{tab, widget, tab});
    if (selected_tab_ == nullptr) {
        setSelectedTab(tab);
    }
    adjustTabPositions();
    adjustSize();
}

void TabbedArea::addTab(const char* caption, Widget* widget) {
    Tab* tab = new Tab();
    tab->setCaption(caption);
    tabs_to_delete_.push_back(tab);
    addTab(tab, widget);
}

void TabbedArea::removeTab(Tab* tab) {
    removeTabInternal(tab, false);
}

void TabbedArea::removeTabInternal(const Widget* which, bool dying) {
    auto it = std::find_if(tabs_.begin(), tabs_.end(), [which](const TabEntry& e) { return e.as_widget == which; });
    if (it == tabs_.end()) {
        return;
    }
    Tab* tab = it->first;
    const int k = static_cast<int>(it - tabs_.begin());
    const int n = static_cast<int>(tabs_.size());
    // -2 keeps the selection, -1 clears it.
    int to_select = -2;
    if (tab == selected_tab_) {
        if (k == n - 1 && n >= 2) {
            to_select = k - 1;
        } else if (n == 1) {
            to_select = -1;
        } else {
            to_select = k;
        }
    }

    Widget* page = it->second;
    tabs_.erase(it);
    if (page && Widget::widgetExists(page)) {
        page->removeDeathListenerOnce(this);
    }
    // A dying tab is half destroyed: the tab container drops it through its
    // own death handling, and it must not be touched here.
    if (!dying) {
        if (hasChild(tab_container_, tab)) {
            tab_container_->remove(tab);
        }
        tab->removeActionListener(this);
        tab->removeDeathListenerOnce(this);
        tab->setTabbedArea(nullptr);
    }
    auto owned = std::find(tabs_to_delete_.begin(), tabs_to_delete_.end(), tab);
    if (owned != tabs_to_delete_.end()) {
        tabs_to_delete_.erase(owned);
        if (!dying) {
            delete tab;
        }
    }

    if (to_select != -2) {
        // The removed tab's page goes too; its pair is gone, so selecting
        // another tab would not find it.
        widget_container_->clear();
        selected_tab_ = nullptr;
        if (to_select >= 0) {
            setSelectedTab(to_select);
        }
    }
    adjustSize();
    adjustTabPositions();
}

Tab* TabbedArea::getTab(int index) const {
    if (index < 0 || index >= getNumberOfTabs()) {
        throw Exception(kNoSuchTab, "gcn::TabbedArea::getTab", kFile, 205);
    }
    return tabs_[index].first;
}

void TabbedArea::setSelectedTab(int index) {
    if (index < 0 || index >= getNumberOfTabs()) {
        throw Exception(kNoSuchTab, "gcn::TabbedArea::setSelectedTab", kFile, 251);
    }
    setSelectedTab(tabs_[index].first);
}

void TabbedArea::setSelectedTab(Tab* tab) {
    for (auto& pair : tabs_) {
        if (pair.first == selected_tab_ && pair.second && hasChild(widget_container_, pair.second)) {
            widget_container_->remove(pair.second);
        }
    }
    for (auto& pair : tabs_) {
        if (pair.first == tab) {
            selected_tab_ = tab;
            if (pair.second) {
                widget_container_->add(pair.second);
            }
        }
    }
}

int TabbedArea::getSelectedTabIndex() const {
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        if (tabs_[i].first == selected_tab_) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TabbedArea::tallestTab() const {
    int t = 0;
    for (const auto& pair : tabs_) {
        t = std::max(t, pair.first->getHeight());
    }
    return t;
}

void TabbedArea::adjustSize() {
    const int t = tallestTab();
    tab_container_->setSize(getWidth() - 2, t);
    widget_container_->setPosition(1, t + 1);
    widget_container_->setSize(getWidth() - 2, getHeight() - t - 2);
}

void TabbedArea::adjustTabPositions() {
    const int t = tallestTab();
    int x = 0;
    for (auto& pair : tabs_) {
        Tab* tab = pair.first;
        tab->setPosition(x, t - tab->getHeight());
        x += tab->getWidth();
    }
}

void TabbedArea::resizeToContent() {
    int w = 0;
    int h = 0;
    for (const auto& pair : tabs_) {
        if (pair.second) {
            w = std::max(w, pair.second->getWidth());
            h = std::max(h, pair.second->getHeight());
        }
    }
    setWidth(w);
    setHeight(h + tallestTab());
}

void TabbedArea::setDimension(const Rectangle& dimension) {
    const Rectangle old = dimension_;
    dimension_ = dimension;
    adjustSize();
    dimension_ = old;
    BasicContainer::setDimension(dimension);
}

void TabbedArea::setBaseColor(const Color& color) {
    BasicContainer::setBaseColor(color);
    widget_container_->setBaseColor(color);
    tab_container_->setBaseColor(color);
}

void TabbedArea::action(const ActionEvent& event) {
    Tab* tab = dynamic_cast<Tab*>(event.getSource());
    if (tab == nullptr) {
        throw Exception("Received an action from a widget that's not a tab!", "gcn::TabbedArea::action", kFile,
                        536);
    }
    setSelectedTab(tab);
}

void TabbedArea::death(const Event& event) {
    Widget* source = event.getSource();
    // Compared by address: inside its destructor the widget is no longer
    // a Tab to a dynamic cast.
    const bool is_tab =
        std::any_of(tabs_.begin(), tabs_.end(), [source](const TabEntry& e) { return e.as_widget == source; });
    if (is_tab) {
        removeTabInternal(source, true);
        return;
    }
    bool was_page = false;
    for (auto& pair : tabs_) {
        if (pair.second == source) {
            pair.second = nullptr;
            was_page = true;
        }
    }
    if (!was_page) {
        BasicContainer::death(event);
    }
}

void TabbedArea::keyPressed(KeyEvent& event) {
    if (event.isConsumed() || !isFocused()) {
        return;
    }
    const int v = event.getKey().getValue();
    const int index = getSelectedTabIndex();
    if (v == Key::Left) {
        if (index - 1 >= 0) {
            setSelectedTab(index - 1);
            event.consume();
        }
    } else if (v == Key::Right) {
        if (index + 1 < getNumberOfTabs()) {
            setSelectedTab(index + 1);
            event.consume();
        }
    }
}

void TabbedArea::mousePressed(MouseEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    if (event.getButton() == MouseEvent::Left) {
        Widget* w = tab_container_->getWidgetAt(event.getX() - tab_container_->getX(),
                                                event.getY() - tab_container_->getY());
        if (Tab* tab = dynamic_cast<Tab*>(w)) {
            setSelectedTab(tab);
        }
    }
    Widget* source = event.getSource();
    if (source && !source->isFocusable() && _getFocusHandler()) {
        requestFocus();
    }
}

void TabbedArea::draw(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const Color& base = getBaseColor();
    const Color highlight = style->highlightColor(base);
    const Color shadow = style->shadowColor(base);
    const int w = getWidth();
    const int h = getHeight();
    const int t = tab_container_->getHeight();

    graphics->setColor(highlight);
    graphics->drawLine(0, t, 0, h - 2);
    graphics->setColor(shadow);
    graphics->drawLine(w - 1, t + 1, w - 1, h - 1);
    graphics->drawLine(1, h - 1, w - 1, h - 1);
    if (opaque_) {
        graphics->setColor(base);
        graphics->fillRectangle(Rectangle(1, 1, w - 2, h - 2));
    }
    graphics->setColor(highlight);
    graphics->drawLine(1, t, w - 1, t);
    if (selected_tab_) {
        const Rectangle& sel = selected_tab_->getDimension();
        graphics->setColor(base);
        graphics->drawLine(sel.x + 1, t, sel.x + sel.width - 2, t);
    }
    drawChildren(graphics);
}

}  // namespace gcn
