#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need, when
# any of them is missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  liballegro5-dev liballegro-image5-dev liballegro-ttf5-dev liballegro-dialog5-dev
  liblua5.1-0-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
