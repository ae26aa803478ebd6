#!/usr/bin/env bash
# The install benchmark: builds the benchmark's own programs, checks them, and
# runs scripts/bench.py under Wine in the prefix build/wine-bench with one
# persistent wineserver. `make bench` installs the dependencies and builds the
# project (dist/linux/mksetup, dist/win64/Setup.exe) first.
#   BENCH_SIZES="50 300"  payload sizes in MB, or "real" for 100 MB of Wine's
#                         64-bit Windows DLLs (default "real 3 50 300"; "" skips them)
#   BENCH_FORMS="zlib"    payload forms installed and compared, each against
#                         NSIS in the same form (default "lzma zlib"); every
#                         form is packed, and its packing timed, anyway
#   BENCH_UPGRADE=50      payload sizes in MB of the upgrade part, run in each
#                         of BENCH_FORMS (default 50; "" skips it)
#   BENCH_CLOSE_DELAYS="0 1"  ms per close of a written file under the simulated
#                         scanner (default "0 1"; 0 is the plain run)
#   BENCH_RUNS=5          measured runs per installer after the warm-up
#   BENCH_SEED=1          payload seed
#   BENCH_PROFILE=0       skip the profiled runs
#   BENCH_HOLD_DESKTOP=1  keep a window open through the installs, so that
#                         Wine's desktop process is not started by each one
#   BENCH_NICE=-5         run installers and wineserver at that priority (busy machines)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

for f in dist/linux/mksetup dist/win64/Setup.exe examples/morvane/Setup.lng; do
  [ -f "$f" ] || { echo "bench: $f is missing; run 'make bench' (it builds first)" >&2; exit 1; }
done
for tool in makensis /usr/bin/time python3 /usr/lib/wine/wine64; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing; run 'make bench' (it installs it)" >&2; exit 1; }
done

echo "== building the benchmark programs"
[ -f build/bench-native/build.ninja ] || cmake -S bench/src -B build/bench-native -G Ninja >/dev/null
cmake --build build/bench-native -j 2
[ -f build/bench-win64/build.ninja ] ||
  cmake -S bench/src -B build/bench-win64 -G Ninja --toolchain "$root/cmake/toolchain-mingw64.cmake" >/dev/null
cmake --build build/bench-win64 -j 2
ctest --test-dir build/bench-native --output-on-failure >/dev/null ||
  { ctest --test-dir build/bench-native --output-on-failure; exit 1; }
python3 -m unittest discover -s bench/tests -q 2>/dev/null ||
  { python3 -m unittest discover -s bench/tests; exit 1; }

args=(--seed "${BENCH_SEED:-1}" --runs "${BENCH_RUNS:-5}")
for size in ${BENCH_SIZES-real 3 50 300}; do args+=(--size "$size"); done
args+=(--forms "${BENCH_FORMS:-lzma zlib}")
for size in ${BENCH_UPGRADE-50}; do args+=(--upgrade "$size"); done
for delay in ${BENCH_CLOSE_DELAYS:-0 1}; do args+=(--close-delay "$delay"); done
[ "${BENCH_PROFILE:-1}" = 0 ] && args+=(--no-profile)
[ "${BENCH_HOLD_DESKTOP:-0}" = 1 ] && args+=(--hold-desktop)
[ -n "${BENCH_NICE:-}" ] && args+=(--nice "$BENCH_NICE")

export SETUP_WINEPREFIX="$root/build/wine-bench"
exec scripts/run-wine-tests.sh python3 scripts/bench.py "${args[@]}"
