#include "rn_menu_start.h"

#include <allegro5/allegro.h>

#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "gcn/events.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"

namespace {

// Message text of the main menu's quit button.
constexpr int kTextQuit = 1026;

}  // namespace

RnStartMenu::RnStartMenu(int width, int height) {
    container_.setDimension(gcn::Rectangle(0, 0, width, height));
    container_.setBaseColor(dax_config.back_color_);
    container_.setBackgroundColor(dax_config.back_color_);

    const int margin = static_cast<int>(width * 0.2);
    const int column = width - 2 * margin;

    title_.setCaption(dax_config.long_name_);
    if (dax_config.headline_font_) {
        title_.setFont(dax_config.headline_font_.get());
    }
    title_.adjustSize();
    title_.setWidth(column);
    title_.setAlignment(gcn::Graphics::Center);
    title_.setPosition(margin, 30);
    container_.add(&title_);

    quit_.setCaption(dax_strings.hasString(kTextQuit) ? dax_strings.get(kTextQuit) : std::string("Quit"));
    quit_.adjustSize();
    quit_.setWidth(column);
    quit_.setBaseColor(dax_config.button_color_);
    quit_.setPosition(margin, (height - quit_.getHeight()) / 2);
    quit_.addActionListener(this);
    container_.add(&quit_);
}

void RnStartMenu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    const int key = event.getKey().getValue();
    if (key == 'q' || key == gcn::Key::Escape) {
        event.consume();
        dax_menu_handler->requestState(kRnStateQuit);
        return;
    }
    DaxSubMenuIfc::keyPressed(event);
}

void RnStartMenu::action(const gcn::ActionEvent& event) {
    if (event.getSource() == &quit_) {
        dax_menu_handler->requestState(kRnStateQuit);
    }
}

DaxSubMenuIfc* rnCreateStartMenu(int /*id*/) {
    ALLEGRO_DISPLAY* display = al_get_current_display();
    const int width = display ? al_get_display_width(display) : 1024;
    const int height = display ? al_get_display_height(display) : 768;
    return new RnStartMenu(width, height);
}
