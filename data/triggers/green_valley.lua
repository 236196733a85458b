-- The trigger of Green Valley, run once a game day in a Lua state of its own.
-- Its globals are saved with the game: numbers, short strings (at most 15
-- characters) and tables of them.

days = 0
chronicle = {best_population = 0, paydays = 0, last = "none"}

function daily()
  days = days + 1
  if game.population > chronicle.best_population then
    chronicle.best_population = game.population
  end
  -- A weekly grant while the town is small.
  if days % 7 == 0 and game.population < 200 then
    chronicle.paydays = chronicle.paydays + 1
    chronicle.last = "day " .. days
    if game.cash + 250 > 0 then
      game.cash = game.cash + 250
    end
    post_msg(1950, "The county sends a grant of 250 to help the settlers.")
  end
end
