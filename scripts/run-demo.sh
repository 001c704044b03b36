#!/usr/bin/env bash
# Sets up, builds, writes the bundled demo project and shows its surface.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF >/dev/null
cmake --build "$root/build-release" -j2 --target orvane-tin
tin="$root/build-release/src/cli/orvane-tin"
"$tin" demo "$root/demo-project"
"$tin" info "$root/demo-project/Demo.dsp"
