#!/bin/sh
# Installs what is needed, builds Lumivane Basic and runs its main job: a first-family print
# job of the bundled sample artwork and a proof picture of what each toner will print.
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
