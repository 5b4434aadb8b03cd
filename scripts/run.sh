#!/usr/bin/env bash
# Sets up, builds and starts the player. Without arguments it presents the
# sample card (made on first use) as an inserted card; otherwise it opens the
# file given.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup-deps.sh"
"$here/scripts/build.sh" "$here/build" >/dev/null
bin="$here/build/bin"

if [ $# -eq 0 ]; then
  card="${XDG_CACHE_HOME:-$HOME/.cache}/velmora/sample-card"
  if [ ! -d "$card/DCIM/100MEDIA" ]; then
    echo "Making the sample card in $card (a few minutes, once)..." >&2
    rm -rf "$card.part"
    "$bin/velmora-sample-card" --out "$card.part" --files 4 --seconds 60 --size 1280x720
    mkdir -p "$(dirname "$card")"
    mv "$card.part" "$card"
  fi
  # The sample card is presented to the player as an inserted card.
  export VELMORA_REMOVABLE_ROOTS="$card${VELMORA_REMOVABLE_ROOTS:+:$VELMORA_REMOVABLE_ROOTS}"
  if [ ! -x "$bin/velmora" ]; then set -- "$card/DCIM/100MEDIA"; fi
fi

if [ -x "$bin/velmora" ]; then
  exec "$bin/velmora" "$@"
elif [ -x "$bin/velmora-play" ]; then
  exec "$bin/velmora-play" "$@"
else
  echo "The player's window is not built (VELMORA_GUI is off)." >&2
fi
