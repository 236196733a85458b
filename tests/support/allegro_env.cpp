#include "support/allegro_env.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>

#include <cstdlib>

void zorInitAllegro() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    setenv("DAX_MSGBOX", "stderr", 0);
    if (!al_init()) {
        std::abort();
    }
    al_init_image_addon();
}
