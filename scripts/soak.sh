#!/usr/bin/env bash
# Runs the Windows test programs (under Wine, with a virtual display) N times
# on one build and lists every test that failed at least once, with its count.
#   scripts/soak.sh [N]           N runs, 10 unless given
#   SOAK_TESTS='gui|app' ...      only the ctest tests whose names match
# Each run keeps its ctest log and the test programs' XML reports under
# build/soak/run<i>/. The exit code is 0 only when every run was green.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10}
build=$root/build/win64
out=$root/build/soak

if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "soak: N must be a positive number, not '$runs'" >&2
  exit 2
fi
if [ ! -f "$build/CTestTestfile.cmake" ]; then
  echo "soak: no win64 build in $build (run 'make win64' first)" >&2
  exit 2
fi

rm -rf "$out"
mkdir -p "$out"
filter=()
[ -n "${SOAK_TESTS:-}" ] && filter=(-R "$SOAK_TESTS")

for ((run = 1; run <= runs; run++)); do
  dir=$out/run$run
  mkdir -p "$dir/xml"
  # The test programs see Windows paths; Wine maps Z: to the Unix root. A
  # program that runs twice in one run writes name_1.xml and so on.
  xml="Z:$(printf '%s/xml/' "$dir" | tr / '\\')"
  start=$SECONDS
  GTEST_OUTPUT="xml:$xml" "$root/scripts/run-wine-tests.sh" \
    ctest --preset win64 "${filter[@]}" --output-junit "$dir/ctest.xml" >"$dir/log.txt" 2>&1
  code=$?
  summary=$(grep -E 'tests passed|tests failed' "$dir/log.txt" | tail -1)
  echo "soak run $run/$runs: ${summary:-no ctest summary (exit $code)}, $((SECONDS - start)) s"
done

python3 "$root/scripts/soak_report.py" "$out" "$runs"
