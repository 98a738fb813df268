#!/usr/bin/env bash
# Installs the Debian 12 packages the workbench needs to build, test and run.
# Run as root on a fresh machine. Fails loudly when a package cannot be had.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git diffutils
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libhidapi-dev libudev-dev libcurl4-openssl-dev libssl-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  xvfb xauth fonts-wqy-microhei
  help2man man-db file dpkg-dev desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    echo "install-deps: package $p is not installed" >&2
    exit 1
  fi
done
echo "install-deps: all ${#packages[@]} packages present"
