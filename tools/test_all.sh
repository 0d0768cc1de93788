#!/bin/sh
# Installs what is needed, builds Lumivane Basic and runs every test: once in a normal build and
# once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
sh tools/install_packages.sh
export QT_QPA_PLATFORM=offscreen
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j2
(cd build-test && ctest --output-on-failure -j2 --timeout 900)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPRINTCONV_SANITIZE=ON -DPRINTCONV_BENCH=OFF
cmake --build build-asan -j2
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j2 --timeout 1800)
