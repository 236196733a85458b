// Drawing a screen's widget tree through the Allegro back end onto a memory
// bitmap: the per-frame cost of the widget library's drawing.
#include <benchmark/benchmark.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>

#include <memory>
#include <string>
#include <vector>

#include "al5gcn/allegro5font.hpp"
#include "al5gcn/allegro5graphics.hpp"
#include "gcn/gui.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/label.hpp"

namespace {

void BM_DrawWidgetTree(benchmark::State& state) {
    al_init();
    al_init_primitives_addon();
    al_init_font_addon();
    al_init_ttf_addon();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* target = al_create_bitmap(1024, 768);
    al_set_target_bitmap(target);
    gcn::Allegro5Font font("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 12, 12);
    gcn::Widget::setGlobalFont(&font);

    const int count = static_cast<int>(state.range(0));
    gcn::Container top;
    top.setDimension(gcn::Rectangle(0, 0, 1024, 768));
    std::vector<std::unique_ptr<gcn::Widget>> widgets;
    for (int i = 0; i < count; ++i) {
        const int x = (i % 8) * 125 + 4;
        const int y = (i / 8) * 24 % 740 + 4;
        if (i % 2) {
            auto b = std::make_unique<gcn::Button>(("button " + std::to_string(i)).c_str());
            b->adjustSize();
            top.add(b.get(), x, y);
            widgets.push_back(std::move(b));
        } else {
            auto l = std::make_unique<gcn::Label>(("label " + std::to_string(i)).c_str());
            l->adjustSize();
            top.add(l.get(), x, y);
            widgets.push_back(std::move(l));
        }
    }
    gcn::Allegro5Graphics graphics;
    gcn::Gui gui;
    gui.setGraphics(&graphics);
    gui.setTop(&top);
    for (auto _ : state) {
        gui.draw();
    }
    state.SetItemsProcessed(state.iterations() * count);
    gui.setTop(nullptr);
    gcn::Widget::setGlobalFont(nullptr);
    al_destroy_bitmap(target);
}
BENCHMARK(BM_DrawWidgetTree)->Arg(16)->Arg(128);

}  // namespace
