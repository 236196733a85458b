-- Images of the game screens, loaded first by the loading screen: the icons
-- of the run screen's top bar, the images of the build menus, the markers
-- the main map draws over walkers and buildings, and the mouse pointers. All
-- come from images/gui.png (drawn by tools/zor_sheets); all but the pointers
-- keep the default hot spot, the middle of the bottom edge.

open_file("images/gui.png")

for i, name in ipairs({"icon_pause", "icon_options", "icon_minimap", "icon_overview"}) do
  read_bitmap({name}, {(i - 1) * 32, 0, w = 32, h = 32})
end

for i, name in ipairs({"menu_roads", "menu_houses", "menu_services", "menu_storage",
                       "menu_production", "menu_markets", "menu_decoration", "menu_builders"}) do
  read_bitmap({name}, {(i - 1) * 32, 32, w = 32, h = 32})
end

for i, name in ipairs({"walker_direct_marker", "walker_second_marker", "red_alert_marker",
                       "orange_alert_marker", "people_unhappy_marker", "people_yellow_marker",
                       "no_people_marker", "no_goods_marker"}) do
  read_bitmap({name}, {(i - 1) * 16, 64, w = 16, h = 16})
end

-- Mouse pointers: 0 the plain one, 1 to 8 while a build menu is open, -1
-- while demolishing; the tip is the hot spot.
for i = 0, 8 do
  read_bitmap({"mouse", var = i}, {i * 24, 80, w = 24, h = 24, xhot = 1, yhot = 1})
end
read_bitmap({"mouse", var = -1}, {9 * 24, 80, w = 24, h = 24, xhot = 1, yhot = 1})

logmsg("icons, build-menu images, markers and mouse pointers loaded")
