#!/usr/bin/env bash
# Sets up (CGAL included, as the benchmark peer), builds every benchmark in
# Release and runs the comparisons the speed figures are read from:
#   triangulator_vs_cgal   triangulation with and without breaklines, and the
#                          build, at 1,000,000 and 500,000 points;
#   cutfill_vs_cgal        cut and fill against CGAL's exact overlay at 100,000
#                          and 200,000 points a surface, ours alone at 500,000
#                          and 1,000,000;
#   bench_analysis_queries elevation queries on a 2,000,000-triangle surface.
# --triangulator runs the first only; --all then runs every bench_* program
# as well. Other arguments go to triangulator_vs_cgal
# (--repeat R, --seed S, --threads T (1: ours on one thread),
# --cases uniform,corridor,constrained,grid,uniform-brk,grid-brk,corridor-brk,build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

run_all=0
only_triangulator=0
args=()
for a in "$@"; do
  case "$a" in
    --all) run_all=1 ;;
    --triangulator) only_triangulator=1 ;;
    *) args+=("$a") ;;
  esac
done

# CGAL is a peer for the comparison only; the product never links it.
if ! dpkg-query -W -f='${Status}' libcgal-dev 2>/dev/null | grep -q "install ok installed"; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing: libcgal-dev"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends libcgal-dev
fi

build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_BENCH=ON \
  -DORVANE_TESTS=OFF >/dev/null
# The comparison first, so that a broken build of another benchmark does not
# stop it; the rest must build only when it is to run (--all).
cmake --build "$build" -j2 --target triangulator_vs_cgal cutfill_vs_cgal bench_analysis_queries
if ! cmake --build "$build" -j2; then
  ((run_all)) && exit 1
  echo "warning: some benchmark programs failed to build (the comparison did not)" >&2
fi

"$build/bench/triangulator_vs_cgal" "${args[@]}"
((only_triangulator)) && exit 0
printf '\n=== cut and fill ===\n'
"$build/bench/cutfill_vs_cgal" --sizes 100000,200000,500000,1000000 --cgal-up-to 200000
printf '\n=== elevation queries ===\n'
"$build/bench/bench_analysis_queries"

if ((run_all)); then
  for b in "$build"/bench/bench_*; do
    [ -x "$b" ] || continue
    [ "$(basename "$b")" = bench_analysis_queries ] && continue
    printf '\n=== %s ===\n' "$(basename "$b")"
    "$b"
  done
fi
