-- Run each time the main menu is shown, after the game was cleared: data the
-- front-end screens want before any world is loaded.

add_author(6201, "Green Valley: the sample world of Zor")
logmsg("initial data of the sample world loaded")
