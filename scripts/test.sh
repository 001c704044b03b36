#!/usr/bin/env bash
# Sets up, then runs every test: the unit tests, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, and a short fuzz run of the
# binary loaders. FUZZ_SECONDS sets the fuzz time per loader (default 45).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
fuzz_seconds="${FUZZ_SECONDS:-45}"

step() { printf '\n=== %s ===\n' "$*"; }

step "unit tests"
cmake -S "$root" -B "$root/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR=ON >/dev/null
cmake --build "$root/build-test" -j2
(cd "$root/build-test" && ctest --output-on-failure -j2) | tee "$root/build-test/ctest.log"

step "Debian package"
"$root/scripts/check-package.sh" "$root/build-test"

step "unit tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build "$root/build-asan" -j2
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2) | tee "$root/build-asan/ctest.log"

step "fuzzing the binary loaders (${fuzz_seconds} s each)"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_TESTS=OFF >/dev/null
cmake --build "$root/build-fuzz" -j2
for fuzzer in "$root"/build-fuzz/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name="$(basename "$fuzzer")"
  corpus="$root/build-fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/corpus/$(basename "${name#fuzz_}" _loader)"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "-- $name"
  log="$root/build-fuzz/$name.log"
  if ! "$fuzzer" "$corpus" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$root/build-fuzz/" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzzer $name found a failure (reproducer in build-fuzz/)"
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$log" || true
done
# One closing line for both test runs (each ctest run above stops the script
# on a failure, through pipefail).
total=0
for log in "$root/build-test/ctest.log" "$root/build-asan/ctest.log"; do
  n=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  total=$((total + ${n:-0}))
done
echo
echo "all test stages passed"
echo "tests: $total passed, 0 failed"
