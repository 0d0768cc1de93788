#!/bin/sh
# Pictures of the desktop program's windows under a private X server: the main window empty
# and with the sample artwork loaded, and each small window (units, language, About, printer
# model, proof) and each dialog of the Tools and Utility menus (colour curves, custom paper
# size, print margins, network utility) and the pattern windows (setup, shape import, library
# edit), in English and German.
# Usage: sh tools/screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
# Writes OUTPUT_DIR (default BUILD_DIR/screenshots) /main-empty-en.png, main-sample-de.png, ...
# Builds what it needs first unless SCREENSHOTS_NO_BUILD=1 (the test suite's run).
# Fails when no X server can be started.
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build}
if [ "${SCREENSHOTS_NO_BUILD:-0}" != 1 ]; then
  if [ ! -f "$BUILD/build.ninja" ] && [ ! -f "$BUILD/Makefile" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRINTCONV_BENCH=OFF
  fi
  cmake --build "$BUILD" -j2 --target make_screenshots dialog_shots pattern_window_shots printconv_languages printconv_shapes
fi
BUILD=$(cd "$BUILD" && pwd)
OUT=${2:-$BUILD/screenshots}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
SCRATCH=$(mktemp -d)
XPID=
cleanup() {
  if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null || true; wait "$XPID" 2>/dev/null || true; fi
  rm -rf "$SCRATCH"
}
trap cleanup EXIT INT TERM

command -v Xvfb >/dev/null || { echo "Xvfb is not installed (package xvfb)" >&2; exit 1; }
# Xvfb picks a free display itself and tells it on the descriptor given.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$SCRATCH/display" >"$SCRATCH/xvfb.log" 2>&1 &
XPID=$!
i=0
until [ -s "$SCRATCH/display" ] || [ $i -ge 100 ]; do
  kill -0 "$XPID" 2>/dev/null || break
  sleep 0.1
  i=$((i + 1))
done
NUM=$(cat "$SCRATCH/display" 2>/dev/null || true)
if [ -z "$NUM" ]; then
  echo "the X server did not start:" >&2
  cat "$SCRATCH/xvfb.log" >&2
  exit 1
fi

mkdir -p "$SCRATCH/run"
chmod 700 "$SCRATCH/run"
DISPLAY=":$NUM" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$SCRATCH/run" \
  "$BUILD/tools/make_screenshots" "$OUT"
# The dialogs, each pictured by itself (English, then German with the "german-" prefix).
dialogs() {
  name=$1
  mkdir -p "$SCRATCH/$name/config/LumivaneB" "$SCRATCH/$name/run"
  if [ -n "${LANGUAGE_NAME:-}" ]; then
    printf '[Active]\r\nLanguage=%s\r\n' "$LANGUAGE_NAME" >"$SCRATCH/$name/config/LumivaneB/LumivaneB.ini"
  fi
  chmod 700 "$SCRATCH/$name/run"
  DISPLAY=":$NUM" XDG_CONFIG_HOME="$SCRATCH/$name/config" XDG_RUNTIME_DIR="$SCRATCH/$name/run" \
    QT_QPA_PLATFORM=xcb "$BUILD/tools/dialog_shots" "$OUT" "${2:-}"
}
dialogs dialogs-en
LANGUAGE_NAME=German.lan3 dialogs dialogs-de german-
# The pattern windows, each shown on its own by a small program that opens just that window.
pattern_shot() {
  name=$1
  shift
  mkdir -p "$SCRATCH/$name/config" "$SCRATCH/$name/run"
  chmod 700 "$SCRATCH/$name/run"
  DISPLAY=":$NUM" XDG_CONFIG_HOME="$SCRATCH/$name/config" XDG_RUNTIME_DIR="$SCRATCH/$name/run" \
    QT_QPA_PLATFORM=xcb "$BUILD/bin/pattern_window_shots" "$name" "$@" >"$SCRATCH/$name.log" 2>&1 &
  APID=$!
  sleep 2
  DISPLAY=":$NUM" import -window root "$OUT/$name.png"
  kill "$APID" 2>/dev/null || true
  wait "$APID" 2>/dev/null || true
}
pattern_shot pattern-setup
pattern_shot shape-import "$(pwd)/data/shapes/heart.ai"
pattern_shot library-edit
for name in pattern-setup shape-import library-edit; do
  [ -s "$OUT/$name.png" ] || { echo "missing $OUT/$name.png" >&2; exit 1; }
done
for lang in en de; do
  for name in main-empty main-sample main-busy units language about printer-model proof; do
    [ -s "$OUT/$name-$lang.png" ] || { echo "missing $OUT/$name-$lang.png" >&2; exit 1; }
  done
done
echo "pictures in $OUT"
