#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, run and test.
# Idempotent: prints nothing and changes nothing when every package is present.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # libraries
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libx264-dev libx265-dev zlib1g-dev libsdl2-dev libasound2-dev
  qt6-base-dev qt6-svg-dev qt6-webengine-dev qt6-qpa-plugins libgl-dev libjs-leaflet fonts-dejavu-core fonts-noto-cjk
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg xvfb xauth libgl1-mesa-dri gpsbabel libxml2-utils
  desktop-file-utils appstream-util shared-mime-info lintian
  # manual pages
  scdoc
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then sudo=(sudo); else
    echo "error: root or sudo is needed to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq >/dev/null
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
