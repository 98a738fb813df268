#!/usr/bin/env bash
# Builds the Debian package of the workbench (Release, installed under /usr)
# and checks what it installs: the launcher and the AppStream data against
# Debian's validators, the manual page, and the package's dependencies, which
# dpkg-shlibdeps derives from the programs' libraries. Prints the package's path.
#   bash scripts/package.sh            then   apt install ./build/package/klimavo_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KLIMAVO_PACKAGE_BUILD_DIR:-$root/build/package}

bash "$root/scripts/install-deps.sh"
desktop-file-validate "$root/packaging/linux/org.klimavo.workbench.desktop"
appstreamcli validate --no-net --pedantic "$root/packaging/linux/org.klimavo.workbench.metainfo.xml"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKLIMAVO_BUILD_TESTS=OFF -DKLIMAVO_BUILD_BENCH=OFF ${KLIMAVO_PACKAGE_CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/klimavo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/klimavo_*.deb)

# What the package must hold, and that its dependencies were found.
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/klimavo ./usr/bin/klimavo-cli ./usr/share/klimavo/seed/data/acprotocl.dat \
    ./usr/share/applications/org.klimavo.workbench.desktop \
    ./usr/share/metainfo/org.klimavo.workbench.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/org.klimavo.workbench.svg \
    ./usr/share/man/man1/klimavo-cli.1.gz ./usr/lib/udev/rules.d/70-klimavo-learner.rules; do
  if ! grep -q " $path\$" <<<"$contents"; then
    echo "package: $path is missing from $deb" >&2
    exit 1
  fi
done
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6widgets6 libhidapi-hidraw0 libudev1 libcurl4; do
  if ! grep -q "$lib" <<<"$depends"; then
    echo "package: the dependencies lack $lib: $depends" >&2
    exit 1
  fi
done

# Unpacked anywhere, the programs find their seed beside them: a new home is
# seeded from the package's share/klimavo/seed and lists the sample records.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
if ! "$unpacked/usr/bin/klimavo-cli" --home "$unpacked/home" library list >"$unpacked/list.txt"; then
  echo "package: klimavo-cli from the package cannot seed a new home" >&2
  exit 1
fi
if [ ! -s "$unpacked/list.txt" ] || [ ! -f "$unpacked/home/data/acprotocl.dat" ]; then
  echo "package: a home seeded from the package holds no library" >&2
  exit 1
fi
man -l "$unpacked/usr/share/man/man1/klimavo-cli.1.gz" >/dev/null 2>&1 || {
  echo "package: the manual page of klimavo-cli does not format" >&2
  exit 1
}
echo "package: $deb"
