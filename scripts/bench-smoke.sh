#!/usr/bin/env bash
# Runs every benchmark program of a build once, as a smoke test: each benchmark
# must run to its end without an error. Nothing is timed or compared here; the
# figures are measured by hand in a quiet Release build (see bench/).
# The largest sizes (100,000 records or captures) are left out: they show the
# growth when measured, and would only make the smoke test long.
#   bash scripts/bench-smoke.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: bench-smoke.sh BUILD_DIR}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

shopt -s nullglob
programs=("$build"/bin/*_bench)
if ((${#programs[@]} == 0)); then
  echo "bench-smoke: no benchmark programs in $build/bin" >&2
  exit 1
fi
for program in "${programs[@]}"; do
  log=$(mktemp)
  if ! "$program" --benchmark_min_time=0.001 --benchmark_filter='-/100000' >"$log" 2>&1; then
    cat "$log" >&2
    echo "bench-smoke: $(basename "$program") failed" >&2
    exit 1
  fi
  # A benchmark that skips itself with an error still exits 0: that fails the smoke test too.
  if grep -q 'ERROR OCCURRED' "$log"; then
    cat "$log" >&2
    echo "bench-smoke: $(basename "$program") reported an error" >&2
    exit 1
  fi
  echo "bench-smoke: $(basename "$program") ran"
  rm -f "$log"
done
echo "bench-smoke: all ${#programs[@]} benchmark programs ran"
