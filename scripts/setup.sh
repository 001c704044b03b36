#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds and tests with.
# Idempotent: installs only what is missing. Uses sudo when not root.
set -euo pipefail

packages=(
  cmake ninja-build g++          # build
  libgtest-dev                   # unit tests
  libbenchmark-dev               # bench/
  libcli11-dev                   # orvane-tin's argument parser
  libgdal-dev                    # GeoTIFF and vector deliverables, coordinate systems (with PROJ)
  clang libclang-rt-14-dev       # libFuzzer for the loader fuzz runs
  libexpat1-dev                  # expat: streams the LandXML documents the import reads
  libxml2-utils                  # xmllint: schema validation of exports
  locales                        # locale sources: tests compile a decimal-comma locale
  qt6-base-dev                   # the desktop program's windows (Widgets) and QtTest for its tests
  fonts-dejavu-core              # without a font every glyph of a window is a box
  xvfb xauth                     # an X server without a display: screenshots in tests and demo
  dpkg-dev                       # dpkg-shlibdeps: the Debian package's declared dependencies
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
