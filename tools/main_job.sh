#!/bin/sh
# Installs what is needed, builds Lumivane Basic and runs its main job on the bundled sample.
set -eu
cd "$(dirname "$0")/.."
sh tools/install_packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPRINTCONV_TESTS=OFF -DPRINTCONV_BENCH=OFF
cmake --build build -j2
cli=build/bin/printconv-cli
"$cli" --version
# A first run creates the settings file with its defaults.
"$cli" texts 0
"$cli" settings get Active "ICM Profile Out"
