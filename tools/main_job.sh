#!/bin/sh
# Installs what is needed, builds Lumivane Basic and runs its main job: a first-family print
# job of the bundled sample artwork and a proof picture of what each toner will print. With a
# display it then opens the desktop program with the sample loaded; without one it writes a
# picture of that window (drawn on a private X server) instead.
set -eu
cd "$(dirname "$0")/.."
sh tools/install_packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPRINTCONV_TESTS=OFF -DPRINTCONV_BENCH=OFF
cmake --build build -j2
cli=build/bin/printconv-cli
sample=build/share/lumivane-basic/sample-artwork.png
mkdir -p out
"$cli" --version
"$cli" layout "$sample" --printer C711WT
"$cli" job "$sample" --printer C711WT -o out/sample-job.ps
"$cli" proof "$sample" --printer C711WT -o out/sample-proof.png
echo "wrote out/sample-job.ps and out/sample-proof.png"
if [ -n "${DISPLAY:-}" ]; then
  echo "opening the desktop program with the sample artwork"
  nohup build/bin/printconv "$sample" >/dev/null 2>&1 &
else
  shots=$(mktemp -d)
  SCREENSHOTS_NO_BUILD=1 sh tools/screenshots.sh build "$shots" >/dev/null
  cp "$shots/main-sample-en.png" out/main-window.png
  rm -rf "$shots"
  echo "wrote out/main-window.png (the desktop program with the sample loaded)"
  echo "no display here: start the window on a desktop with  build/bin/printconv $sample"
fi
