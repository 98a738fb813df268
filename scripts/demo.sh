#!/usr/bin/env bash
# The main job: installs what is needed, builds the workbench and runs it.
# Without a display it runs the command-line demo: the bundled sample captures
# are decoded by klimavo-cli in a fresh workbench home.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KLIMAVO_BUILD_DIR:-$root/build/release}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKLIMAVO_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)"

home=${KLIMAVO_HOME:-$(mktemp -d /tmp/klimavo-home.XXXXXX)}
export KLIMAVO_HOME=$home
echo "== workbench home: $home"
for sample in "$root"/data/samples/*; do
  echo "== klimavo-cli decode $(basename "$sample")"
  "$build/bin/klimavo-cli" decode "$sample" || true
done
