#!/bin/sh
# Screenshots of the desktop program under a private X server: the empty window and the window
# with the sample artwork loaded. Builds the program first when needed.
# Usage: sh tools/screenshots.sh [BUILD_DIR] [DISPLAY_NUMBER]
# Writes BUILD_DIR/screenshots/empty.png, sample.png and sample-german.png (the longer German
# texts show clipped labels first), and pattern-setup.png, shape-import.png and library-edit.png
# (the pattern windows, each shown on its own).
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build}
NUM=${2:-99}
if [ ! -f "$BUILD/build.ninja" ] && [ ! -f "$BUILD/Makefile" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRINTCONV_BENCH=OFF
fi
cmake --build "$BUILD" -j2 --target printconv printconv_languages printconv_shapes pattern_window_shots
BUILD=$(cd "$BUILD" && pwd)
OUT=$BUILD/screenshots
mkdir -p "$OUT"
SCRATCH=$(mktemp -d)
XPID=
cleanup() {
  [ -n "$XPID" ] && kill "$XPID" 2>/dev/null && wait "$XPID" 2>/dev/null
  rm -rf "$SCRATCH"
}
trap cleanup EXIT INT TERM

[ -e "/tmp/.X$NUM-lock" ] && { echo "display :$NUM is busy; pass another number" >&2; exit 1; }
Xvfb ":$NUM" -screen 0 1280x720x24 -nolisten tcp >"$SCRATCH/xvfb.log" 2>&1 &
XPID=$!
i=0
until [ -S "/tmp/.X11-unix/X$NUM" ] || [ $i -ge 50 ]; do sleep 0.1; i=$((i + 1)); done

# One run of the program with its own settings folder; the picture after it is the window.
shot() {
  name=$1
  shift
  mkdir -p "$SCRATCH/$name/config/LumivaneB" "$SCRATCH/$name/run"
  if [ -n "${LANGUAGE_NAME:-}" ]; then
    printf '[Active]\r\nLanguage=%s\r\n' "$LANGUAGE_NAME" >"$SCRATCH/$name/config/LumivaneB/LumivaneB.ini"
  fi
  chmod 700 "$SCRATCH/$name/run"
  DISPLAY=":$NUM" XDG_CONFIG_HOME="$SCRATCH/$name/config" XDG_RUNTIME_DIR="$SCRATCH/$name/run" \
    QT_QPA_PLATFORM=xcb "${PROGRAM:-$BUILD/bin/printconv}" "$@" >"$SCRATCH/$name.log" 2>&1 &
  APID=$!
  sleep "${SHOT_WAIT:-4}"
  DISPLAY=":$NUM" import -window root "$OUT/$name.png"
  kill "$APID" 2>/dev/null || true
  wait "$APID" 2>/dev/null || true
  echo "saved $OUT/$name.png"
}

shot empty
cp "$BUILD/share/lumivane-basic/sample-artwork.png" "$SCRATCH/sample.png"
shot sample "$SCRATCH/sample.png"
LANGUAGE_NAME=German.lan3 shot sample-german "$SCRATCH/sample.png"

PROGRAM=$BUILD/bin/pattern_window_shots SHOT_WAIT=2 shot pattern-setup pattern-setup
PROGRAM=$BUILD/bin/pattern_window_shots SHOT_WAIT=2 shot shape-import shape-import \
  "$(pwd)/data/shapes/heart.ai"
PROGRAM=$BUILD/bin/pattern_window_shots SHOT_WAIT=2 shot library-edit library-edit
