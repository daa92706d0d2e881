#!/usr/bin/env bash
# Installs the Debian packages the build, tests and demo need. Quick when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libegl-dev libgl-dev libopengl-dev libgles-dev libgl1-mesa-dri libgbm-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  liblcms2-dev libjpeg62-turbo-dev libpng-dev libmpg123-dev zlib1g-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev libvorbis-dev
  libinih-dev xvfb xauth clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (or install them with: sudo apt-get install ${missing[*]})" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
