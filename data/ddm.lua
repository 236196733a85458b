-- The data model of the sample world "Green Valley": one resource, three
-- terrains, one people type, a chain of goods (wood into planks, and food),
-- the walker types, a road with three levels and a building type of every
-- kind (two services: water and the tax office), with their images.
--
-- Every type id is also the number of its name in the language file
-- (zor.en.txt). Buildings and grounds are drawn here with the loader's image
-- functions; walkers, goods and trees come from the sheets under images/
-- (drawn by tools/zor_sheets). Every image keeps the default hot spot: the
-- middle of its bottom edge, one row below the image (for multi-tiles the
-- bottom corner of the footprint).

-- Ids (and text numbers).
local RES_FOREST = 5001
local TER_GRASS, TER_FOREST, TER_WATER = 5101, 5102, 5103
local PEOPLE = 5201
local CLASS_RAW, CLASS_MATERIAL, CLASS_FOOD = 5301, 5302, 5303
local WOOD, PLANKS, FOOD = 5311, 5312, 5313
local WLK_WATER, WLK_MARKET, WLK_BUILDER, WLK_TAX = 5401, 5402, 5403, 5404
local ROAD = 5501
local HOUSE = 5601
local WELL, TAX_OFFICE = 5701, 5702
local STOREHOUSE = 5751
local MARKET = 5801
local BUILDER_YARD = 5851
local WOODCUTTER, SAWMILL, FARM = 5901, 5902, 5903
local GARDEN, FOUNTAIN = 5951, 5952

-- Build menus.
local M_ROADS, M_HOUSES, M_SERVICES, M_STORAGE = 1, 2, 3, 4
local M_PRODUCTION, M_MARKETS, M_DECORATION, M_BUILDERS = 5, 6, 7, 8

set_iso_tile_size(64, 32)

---------------------------------------------------------------------------
-- Images drawn here.

-- A ground tile of w by h tiles in one colour, with or without its outline.
local function ground(name, var, w, h, rgb, border)
  begin_mtile(w, h, 0)
  draw_ground(rgb, border)
  store_mtile{name, var = var}
end

-- A building on its ground: box = {left wall, right wall, wall height,
-- g = roof shape, hg = roof height}; u, v place it on the footprint.
local function building(name, w, h, height, floor, box, wall, roof, u, v)
  begin_mtile(w, h, height)
  draw_ground(floor, 1)
  draw_house(box, wall, roof, u, v)
  store_mtile{name}
end

local function small(name, floor, box, wall, roof)
  building(name, 1, 1, 70, floor, box, wall, roof, 6, 6)
end

local function large(name, floor, box, wall, roof)
  building(name, 2, 2, 130, floor, box, wall, roof, 12, 12)
end

local EARTH = {150, 120, 80}
local GRAVEL = {170, 160, 130}

-- Terrain floors: two kinds of grass, forest soil and water.
ground("grass_floor", 1, 1, 1, {60, 160, 50}, 0)
ground("grass_floor", 2, 1, 1, {70, 170, 60}, 0)
ground("forest_floor", 1, 1, 1, {40, 110, 40}, 0)
ground("water_floor", 1, 1, 1, {40, 80, 200}, 0)

-- Road levels.
ground("road_dirt", 1, 1, 1, {150, 120, 80}, 1)
ground("road_gravel", 1, 1, 1, {170, 160, 130}, 1)
ground("road_paved", 1, 1, 1, {130, 130, 140}, 1)

-- Building floors.
ground("floor_1x1", 1, 1, 1, EARTH, 1)
ground("floor_2x2", 1, 2, 2, EARTH, 1)

-- Houses: a hut, a cottage, a town house, and what is left of a house.
large("house_hut", EARTH, {30, 30, 14, g = 1, hg = 4}, {170, 140, 90}, {150, 120, 60})
large("house_cottage", EARTH, {40, 40, 20, g = 3, hg = 6}, {230, 210, 170}, {180, 60, 40})
large("house_town", GRAVEL, {44, 36, 34, g = 3, hg = 8}, {240, 230, 210}, {120, 40, 40})
large("house_ruin", EARTH, {36, 36, 6, g = 0}, {110, 100, 90}, {80, 70, 60})

-- Workplaces.
small("well", GRAVEL, {18, 18, 10, g = 0}, {150, 150, 150}, {60, 100, 230})
small("tax_office", GRAVEL, {22, 18, 20, g = 2, hg = 6}, {210, 200, 170}, {60, 60, 70})
large("storehouse", EARTH, {48, 40, 26, g = 2, hg = 6}, {170, 120, 70}, {110, 80, 50})
large("storehouse_ruin", EARTH, {40, 40, 8, g = 0}, {110, 100, 90}, {80, 70, 60})
large("market", GRAVEL, {44, 44, 12, g = 1, hg = 10}, {200, 170, 120}, {210, 50, 50})
small("builder_yard", EARTH, {20, 20, 14, g = 2, hg = 4}, {180, 150, 110}, {100, 100, 110})
small("woodcutter", EARTH, {20, 16, 14, g = 1, hg = 4}, {140, 100, 60}, {90, 60, 30})
large("sawmill", EARTH, {48, 36, 22, g = 3, hg = 6}, {190, 150, 100}, {120, 90, 60})
large("farm", {180, 160, 70}, {36, 30, 16, g = 1, hg = 6}, {230, 220, 180}, {200, 160, 60})

-- Decorations, working and run down.
small("garden", {60, 170, 60}, {16, 16, 4, g = 0}, {40, 130, 40}, {240, 120, 200})
small("garden_dead", {120, 120, 60}, {16, 16, 2, g = 0}, {110, 100, 60}, {120, 110, 80})
small("fountain", GRAVEL, {18, 18, 8, g = 0}, {200, 200, 210}, {90, 150, 250})
small("fountain_dry", GRAVEL, {18, 18, 8, g = 0}, {170, 170, 170}, {150, 140, 120})

---------------------------------------------------------------------------
-- Images from the sheets.

open_file("images/walkers.png")
local directions = {"ro", "ru", "lo", "lu"}
for row, kind in ipairs({"water_carrier", "market_woman", "builder", "tax_collector"}) do
  for col, dir in ipairs(directions) do
    read_bitmap({kind .. "_" .. dir}, {(col - 1) * 16, (row - 1) * 24, w = 16, h = 24})
  end
end

open_file("images/goods.png")
read_bitmap({"wood"}, {0, 0, w = 16, h = 12})
read_bitmap({"planks"}, {16, 0, w = 16, h = 12})
read_bitmap({"food"}, {32, 0, w = 16, h = 12})

open_file("images/terrain.png")
read_bitmap({"tree", var = 1}, {0, 0, w = 32, h = 48})
read_bitmap({"tree", var = 2}, {32, 0, w = 32, h = 48})

---------------------------------------------------------------------------
-- The model. Properties come first: goods types need the storage walker
-- speed.

set_model_properties{
  hours_incr_desirability = 6,
  hours_decr_desirability = 12,
  map_range_desirability = 6,
  prod_walker_range = 24,
  storage_walker_range = 32,
  storage_walker_capacity = 4,
  storage_walker_speed = 150,
  storage_network_update_hours = 24,
  resource_efficiency_update_hours = 24,
}

create_resource{RES_FOREST}

create_terrain{TER_GRASS, {0, 160, 0}, {}, floor = "grass_floor",
  walkable = 1, roads = 1, buildings = 1, flat = 1}
create_terrain{TER_FOREST, {0, 90, 20}, {RES_FOREST}, floor = "forest_floor", image = "tree",
  walkable = 1, roads = 1, buildings = 0, flat = 0}
create_terrain{TER_WATER, {0, 0, 200}, {}, floor = "water_floor",
  walkable = 0, roads = 0, buildings = 0, flat = 1}

create_people_type{PEOPLE}

-- Goods in the order of their production chain: wood is cut, then sawn into
-- planks; food is farmed.
create_goods_type{WOOD, "wood", class = CLASS_RAW, lot_size = 4,
  hours_for_1tile_road = 0.1, smooth_move = 1}
create_goods_type{PLANKS, "planks", class = CLASS_MATERIAL, lot_size = 2,
  hours_for_1tile_road = 0.1, smooth_move = 1}
create_goods_type{FOOD, "food", class = CLASS_FOOD, lot_size = 4,
  hours_for_1tile_road = 0.1, smooth_move = 1}

create_service_walker_type{WLK_WATER, ro = "water_carrier_ro", ru = "water_carrier_ru",
  lo = "water_carrier_lo", lu = "water_carrier_lu",
  distance_to_return = 24, tiles_without_houses = 8, hours_for_1tile_road = 0.1, smooth_move = 1}
create_market_walker_type{WLK_MARKET, ro = "market_woman_ro", ru = "market_woman_ru",
  lo = "market_woman_lo", lu = "market_woman_lu",
  distance_to_return = 24, tiles_without_houses = 8, hours_for_1tile_road = 0.1, smooth_move = 1}
create_builder_walker_type{WLK_BUILDER, ro = "builder_ro", ru = "builder_ru",
  lo = "builder_lo", lu = "builder_lu",
  distance_to_return = 30, hours_for_1tile_road = 0.1, smooth_move = 1}
create_service_walker_type{WLK_TAX, ro = "tax_collector_ro", ru = "tax_collector_ru",
  lo = "tax_collector_lo", lu = "tax_collector_lu",
  distance_to_return = 24, tiles_without_houses = 8, hours_for_1tile_road = 0.1, smooth_move = 1}

create_road_type({ROAD, 2, 1, {170, 150, 110},
  {5511, 0, -1000, image = "road_dirt", speed = 100},
  {5512, 1, 20, image = "road_gravel", speed = 150},
  {5513, 2, 60, image = "road_paved", speed = 200},
}, M_ROADS)

-- The services come before the house and the fountain that name them. The
-- tax collector takes money from every house he passes: the more of its
-- people work, the more.
create_service_type({WELL, 1, 1, 40, 5, {60, 100, 230},
  image = "well", floor = "floor_1x1", own_attr = 5,
  walker_type = WLK_WATER, num_walkers = 1, hours_respawn = 2,
  workers1 = {PEOPLE, 2, 20},
}, M_SERVICES)
create_service_type({TAX_OFFICE, 1, 1, 60, 5, {60, 60, 70},
  image = "tax_office", floor = "floor_1x1", own_attr = 0,
  walker_type = WLK_TAX, num_walkers = 1, hours_respawn = 4, tax_percent = 300,
  workers1 = {PEOPLE, 2, 24},
}, M_SERVICES)

-- Three levels; the town house needs food, water and planks and pays taxes.
-- A house keeps the needs of the level above its own, so the tax collector
-- already takes money from cottages.
create_house_type({HOUSE, 2, 2, 20, 2, {220, 200, 160},
  {5611, 6, 0, -200, image = "house_hut", floor = "floor_2x2"},
  {5612, 12, 2, 10, image = "house_cottage", floor = "floor_2x2"},
  {5613, 24, 5, 40, image = "house_town", floor = "floor_2x2",
    g0 = {FOOD, 4, 24}, s0 = {WELL, 48}, s1 = {TAX_OFFICE, 48}, mat = {PLANKS, 2, 240}},
  ruine = "house_ruin", people_type = PEOPLE, percent_workers = 50,
  percent_workers_without_job1 = 20, percent_workers_without_job2 = 40,
  hours_people_immigrate = 2, hours_people_leave = 6, hours_level_up = 6, hours_level_down = 24,
  tax_percent = 100,
}, M_HOUSES)

create_storage_type({STOREHOUSE, 2, 2, 120, 10, {170, 120, 70},
  image = "storehouse", floor = "floor_2x2", own_attr = -5,
  worker_type = PEOPLE, num_workers = 4, worker_range = 24, capacity = 32,
  num_prod_walkers = 2, hours_respawn_prod_walker = 1,
  num_stor_walkers = 2, hours_respawn_stor_walker = 2,
  ruine = "storehouse_ruin", material1 = {PLANKS, 2, 480},
  goods_class = {CLASS_RAW, CLASS_MATERIAL, CLASS_FOOD},
}, M_STORAGE)

create_market_type({MARKET, 2, 2, 80, 5, {210, 50, 50},
  image = "market", floor = "floor_2x2", own_attr = 10,
  walker_type = WLK_MARKET, num_walkers = 1, hours_respawn = 2,
  worker_type = PEOPLE, num_workers = 2, worker_range = 24, capacity = 16,
  goods_class = CLASS_FOOD,
}, M_MARKETS)

create_builder_type({BUILDER_YARD, 1, 1, 60, 5, {100, 100, 110},
  image = "builder_yard", floor = "floor_1x1", own_attr = -2,
  walker_type = WLK_BUILDER, num_walkers = 1, hours_respawn = 3, walker_range = 30, capacity = 8,
  distribute_material = {PLANKS},
  workers1 = {PEOPLE, 2, 24},
}, M_BUILDERS)

-- The woodcutter needs forest around it; the sawmill turns wood into planks;
-- the farm needs nothing but workers.
create_production_type({WOODCUTTER, 1, 1, 30, 3, {90, 60, 30},
  image = "woodcutter", floor = "floor_1x1", own_attr = -3,
  num_walkers = 1, hours_respawn = 1, out_capa = 4,
  resource_around = RES_FOREST, resource_radius = 5, resource_percent = 20,
  output1 = {WOOD, 1, 4},
  workers1 = {PEOPLE, 2, 24},
}, M_PRODUCTION)
create_production_type({SAWMILL, 2, 2, 90, 8, {190, 150, 100},
  image = "sawmill", floor = "floor_2x2", own_attr = -8,
  num_walkers = 1, hours_respawn = 1, out_capa = 4, in_capa = 8,
  output1 = {PLANKS, 1, 6},
  input1 = {WOOD, 2},
  workers1 = {PEOPLE, 4, 24},
}, M_PRODUCTION)
create_production_type({FARM, 2, 2, 50, 5, {200, 160, 60},
  image = "farm", floor = "floor_2x2", own_attr = 2,
  num_walkers = 1, hours_respawn = 1, out_capa = 6,
  output1 = {FOOD, 2, 8},
  workers1 = {PEOPLE, 3, 24},
}, M_PRODUCTION)

create_deko_type({GARDEN, 1, 1, 15, 1, {60, 170, 60},
  image_active = "garden", image_defunc = "garden_dead", floor = "floor_1x1",
  own_attr_act = 20, own_attr_def = 0,
}, M_DECORATION)
create_deko_type({FOUNTAIN, 1, 1, 40, 2, {90, 150, 250},
  image_active = "fountain", image_defunc = "fountain_dry", floor = "floor_1x1",
  own_attr_act = 40, own_attr_def = 5, hours_attr = 48, service = WELL,
}, M_DECORATION)

define_menu_entry(M_ROADS, "menu_roads", 6001)
define_menu_entry(M_HOUSES, "menu_houses", 6002)
define_menu_entry(M_SERVICES, "menu_services", 6003)
define_menu_entry(M_STORAGE, "menu_storage", 6004)
define_menu_entry(M_PRODUCTION, "menu_production", 6005)
define_menu_entry(M_MARKETS, "menu_markets", 6006)
define_menu_entry(M_DECORATION, "menu_decoration", 6007)
define_menu_entry(M_BUILDERS, "menu_builders", 6008)
