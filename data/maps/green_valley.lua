-- Green Valley: a 64 by 64 map of meadows, two forests and a river. The
-- colours of the map image pick the terrains of the data model (ddm.lua).

local GRASS, FOREST, WATER = 5101, 5102, 5103

load_map("green_valley.png", {
  {GRASS, {0, 160, 0}},
  {FOREST, {0, 90, 20}},
  {WATER, {0, 0, 200}},
}, 6101, {tolerance = 0})

set_game_properties{initial_cash = 5000}

-- Once a game day, from 6 in the morning of the first day.
set_trigger("triggers/green_valley.lua", "daily", 24, 6)
