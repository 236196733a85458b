#!/usr/bin/env bash
# Installs what is missing, builds the game (in build-play/, without the
# tests, which scripts/test.sh builds in folders of its own) and starts it on
# its bundled sample world.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-play -DZOR_TESTS=OFF -DZOR_BENCH=OFF > /dev/null
cmake --build build-play -j "$jobs" --target zor

game=build-play/src/zor
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  # Nobody could answer a message box there: errors go to the terminal, and
  # a start-up error ends the program at once.
  export DAX_MSGBOX=stderr
  echo "no display found: the game runs in a virtual X server (xvfb-run), where it cannot be seen; stop it with Ctrl+C"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$game" "$@"
fi
exec "$game" "$@"
