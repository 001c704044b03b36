#!/usr/bin/env bash
# Sets up, builds and runs the program's main job on the bundled demo project:
# writes the project (a gridded surface and the survey of a site), builds the
# site's surface from its points, breakline and boundary, colours it by
# elevation bands of the TERRAIN palette, lists the project,
# exports the new surface to LandXML 1.2 and shows it, then measures it: its
# volume above the lowest point, its height at the site's centre, and the
# earthworks between the site and the gridded surface. Last, it opens the
# desktop program's explorer on the project; without a display it takes the
# explorer's screenshots in a virtual X server instead and says where they are.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF >/dev/null
targets=(orvane-tin)
grep -q '^ORVANE_APP:BOOL=ON' "$root/build-release/CMakeCache.txt" && targets+=(orvane)
cmake --build "$root/build-release" -j2 --target "${targets[@]}"
tin="$root/build-release/src/cli/orvane-tin"
project="$root/demo-project"
"$tin" demo "$project"
"$tin" build "$project" Site
"$tin" colour "$project" Site TERRAIN --interval 2
printf '\nname\tpoints\ttriangles\tzmin\tzmax\n'
"$tin" list "$project"
echo
"$tin" landxml "$project" Site "$project/Site.xml"
"$tin" info "$project/Site.dsp"
echo
site="$project/Site.dsp"
zmin=$("$tin" info "$site" | awk '/^extents:/ {print $4}')
read -r cx cy < <("$tin" info "$site" | awk '/^extents:/ {printf "%.3f %.3f\n", ($2+$5)/2, ($3+$6)/2}')
echo "volume of Site above its lowest point ($zmin m):"
"$tin" volume "$site" --base "$zmin"
echo "elevation of Site at its centre:"
"$tin" elevation "$site" "$cx" "$cy"
echo "cut and fill of Site against Demo (with its report and its 1 m map):"
"$tin" cutfill "$site" "$project/Demo.dsp" --report "$project/Site-Demo.csv" \
  --map "$project/Site-Demo.tif" --cell 1
echo
echo "deliverables of Site: contours every metre (every fifth an index contour), a 1 m DEM:"
"$tin" contours "$project" Site "$project/Site-contours.gpkg" --interval 1 --index 5
"$tin" dem "$project" Site "$project/Site-dem.tif" --cell 1
echo
echo "the project's changes, newest first (orvane-tin undo reverts the first):"
"$tin" history "$project" | grep -v '^[[:space:]]'

app="$root/build-release/src/app/orvane"
[ -x "$app" ] || exit 0
echo
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  echo "opening the surface explorer on the demo project (close it or press Exit to end)"
  "$app" "Demo^$project"
else
  shots="$project/screenshots"
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
  xvfb-run -a -s "-screen 0 1600x1000x24" "$app" "Demo^$project" --screenshot "$shots" >/dev/null
  echo "no display: the surface explorer ran in a virtual X server; its screenshots are in $shots/"
  ls "$shots"
fi
