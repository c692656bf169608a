#!/bin/sh
# Builds and runs every benchmark in a release build directory.
#   bench/run-all.sh [BUILD_DIR]   (default: build-bench next to the sources)
set -e
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$SRC/build-bench}
cmake -S "$SRC" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARNS_GUI=OFF >/dev/null

# Zarn engine.
ninja -C "$BUILD" -j2 zarn_bench
"$BUILD/bench/zarn_bench"

# Word catalog.
ninja -C "$BUILD" -j2 catalog_bench
"$BUILD/bench/catalog_bench"

# Word search and build at scale, against Recoll (corpora cached in the build dir).
ninja -C "$BUILD" -j2 catalog_search_bench zarns-cli
REAL=/usr/share/doc/linux-doc-6.1/html/_sources
"$BUILD/bench/catalog_search_bench" --cli "$BUILD/zarns-cli" --cache "$BUILD/bench-cache" \
  ${REAL:+--real "$REAL"}

# Zarn store.
ninja -C "$BUILD" -j2 store_bench
"$BUILD/bench/store_bench"

# Convert to Text.
ninja -C "$BUILD" -j2 vanilla_bench
"$BUILD/bench/vanilla_bench"

# Program start-up (needs the Qt program: a build with the GUI on).
cmake -S "$SRC" -B "$BUILD-gui" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARNS_GUI=ON >/dev/null
ninja -C "$BUILD-gui" -j2 startup_bench
"$BUILD-gui/bench/startup_bench" 15

# Alt+R on the last line of a 100,000-line document, first time (Qt program).
ninja -C "$BUILD-gui" -j2 altr_bench
"$BUILD-gui/bench/altr_bench" 9
