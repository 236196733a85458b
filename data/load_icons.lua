-- Images of the game screens, loaded first by the loading screen: the icons
-- of the run screen's top bar, the images of the build menus and the markers
-- the main map draws over walkers and buildings. All come from
-- images/gui.png (drawn by tools/zor_sheets) and keep the default hot spot,
-- the middle of the bottom edge.

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

logmsg("icons, build-menu images and markers loaded")
