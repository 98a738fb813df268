#!/usr/bin/env bash
# Checks that the C++ files follow the project's .clang-format.
#   bash scripts/check-format.sh            every file of src, tests, bench and fuzz
#   bash scripts/check-format.sh BASE       only the files changed since commit BASE
# Prints each file that differs with the first lines of the change it needs and
# fails when there is one. `clang-format -i FILE` applies the change.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ $# -ge 1 ]; then
  mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$1" -- src tests bench fuzz | grep -E '\.(cpp|h)$' || true)
else
  mapfile -t files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
fi
if ((${#files[@]} == 0)); then
  echo "format: no C++ file to check"
  exit 0
fi

bad=0
for f in "${files[@]}"; do
  if ! clang-format --style=file "$f" | diff -u "$f" - >/tmp/klimavo-format.$$ 2>&1; then
    echo "format: $f differs from .clang-format:" >&2
    sed -n '3,12p' /tmp/klimavo-format.$$ >&2
    bad=$((bad + 1))
  fi
done
rm -f /tmp/klimavo-format.$$
if ((bad)); then
  echo "format: $bad of ${#files[@]} files differ; run clang-format -i on them" >&2
  exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
