#!/usr/bin/env bash
# The main job: installs what is needed, builds the workbench and starts it.
# Without a display it says so and runs the command-line demo instead: the
# bundled sample captures are decoded by klimavo-cli in a fresh workbench home.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KLIMAVO_BUILD_DIR:-$root/build/release}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKLIMAVO_BUILD_TESTS=OFF -DKLIMAVO_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== starting the workbench (home: ${KLIMAVO_HOME:-default})"
  exec "$build/bin/klimavo"
fi

echo "== no display (DISPLAY and WAYLAND_DISPLAY are unset): running the command-line demo instead"
home=${KLIMAVO_HOME:-$(mktemp -d /tmp/klimavo-home.XXXXXX)}
export KLIMAVO_HOME=$home
echo "== workbench home: $home"
"$build/bin/klimavo-cli" library list || true
for sample in "$root"/data/samples/*; do
  echo "== klimavo-cli decode $(basename "$sample")"
  "$build/bin/klimavo-cli" decode "$sample" || true
done
