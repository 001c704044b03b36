#!/usr/bin/env bash
# Builds the Debian package in an already configured build folder (default
# build-test, as scripts/test.sh leaves it) and checks what it holds and what
# it declares: both programs, their data, the desktop entry and the icon
# under /usr, and dependencies on the C++ runtime and Qt found by
# dpkg-shlibdeps. Prints the package's path.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-test}"

cmake --build "$build" -j2 --target package >"$build/package.log" 2>&1 || {
  tail -n 40 "$build/package.log"
  echo "check-package: the package target failed"
  exit 1
}
version="$(sed -n 's/^project(orvane .*VERSION \([0-9.]*\)).*/\1/p' "$root/CMakeLists.txt")"
deb="$(ls "$build"/orvane_"${version}"_*.deb)"

fail=0
contents="$(dpkg-deb -c "$deb" | awk '{print $NF}')"
for path in ./usr/bin/orvane ./usr/bin/orvane-tin \
  ./usr/share/orvane/settings.reg ./usr/share/orvane/settings-es.reg \
  ./usr/share/orvane/help/Orvane_en.html ./usr/share/orvane/help/Orvane_es.html \
  ./usr/share/applications/orvane.desktop ./usr/share/icons/hicolor/scalable/apps/orvane.svg; do
  grep -qx -- "$path" <<<"$contents" || { echo "check-package: $path missing"; fail=1; }
done
grep -q '^\./usr/share/orvane/palettes/.*\.rgb$' <<<"$contents" ||
  { echo "check-package: no palettes"; fail=1; }

depends="$(dpkg-deb -f "$deb" Depends)"
for dep in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins; do
  grep -q "\b$dep\b" <<<"$depends" || { echo "check-package: Depends lacks $dep"; fail=1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = orvane ] || { echo "check-package: wrong name"; fail=1; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/data/orvane.desktop" || fail=1
fi
# The programs start from where the package puts them.
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for program in orvane orvane-tin; do
  "$unpacked/usr/bin/$program" --help >/dev/null || { echo "check-package: $program --help fails"; fail=1; }
done
((fail == 0)) || { dpkg-deb -I "$deb"; exit 1; }
echo "$deb"
