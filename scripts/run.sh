#!/usr/bin/env bash
# Sets up, builds and starts the player. Without arguments it presents the
# sample card (made on first use) as an inserted card; otherwise it opens the
# file given. Only the programs the run needs are built; scripts/test.sh builds
# the rest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
bin="$build/bin"
card="${XDG_CACHE_HOME:-$HOME/.cache}/velmora/sample-card"

if [ ! -f "$build/build.ninja" ] || { [ $# -eq 0 ] && [ ! -d "$card/DCIM/100MEDIA" ]; }; then
  echo "First run: it installs what is missing, builds the player and makes a sample card:" \
       "about 10 minutes on a 2-core machine. Later runs start at once." >&2
fi
"$here/scripts/setup-deps.sh"

# Shows a command's progress on one line: each line of its output that
# matches PATTERN is turned into MESSAGE by sed's replacement. The whole
# output is kept in LOG and shown when the command fails.
progress() { # LOG PATTERN MESSAGE command...
  local log=$1 pattern=$2 message=$3; shift 3
  set +e
  "$@" 2>&1 | tee "$log" | sed -nu "s/$pattern/$message/p" | while IFS= read -r line; do
    printf '\r\033[K%s' "$line" >&2
  done
  local status=${PIPESTATUS[0]}
  set -e
  printf '\n' >&2
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    echo "Failed (exit status $status); the whole output is in $log" >&2
    exit "$status"
  fi
}

mkdir -p "$build"
if [ ! -f "$build/build.ninja" ]; then
  echo "Configuring..." >&2
  if ! cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/configure.log" 2>&1; then
    cat "$build/configure.log" >&2
    exit 1
  fi
fi
# The main program when the project has one, else the plain player; and the
# sample card's maker.
targets=(velmora-play velmora-sample-card)
# (grep reads the whole list: stopping early would fail ninja's write, and the pipe with it.)
if ninja -C "$build" -t targets all 2>/dev/null | grep '^velmora: ' >/dev/null; then
  targets=(velmora velmora-sample-card)
fi
NINJA_STATUS="[%f/%t %p] " progress "$build/run-build.log" '^\[\([0-9]*\/[0-9]*\) *\([0-9]*%\)\].*' \
  'Building the player: \1 steps, \2' cmake --build "$build" --target "${targets[@]}"

if [ $# -eq 0 ]; then
  if [ ! -d "$card/DCIM/100MEDIA" ]; then
    rm -rf "$card.part"
    mkdir -p "$(dirname "$card")"
    echo "Making the sample card in $card (once):" >&2
    progress "$build/sample-card.log" '.*_000\([0-9]\)\.ts .*' 'Making the sample card: recording \1 of 4 done' \
      "$bin/velmora-sample-card" --out "$card.part" --files 4 --seconds 60 --size 1280x720
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
  exit 1
fi
