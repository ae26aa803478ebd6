#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UBSan) in
# build/fuzz and runs each for FUZZ_SECONDS (default 60), one after the other.
# Prints per target the executions, the time and the findings; a finding's
# input is kept in build/fuzz/findings/<target>/ and the script exits 1.
#   FUZZ_SECONDS=600 scripts/fuzz.sh                 every target
#   FUZZ_SECONDS=30 scripts/fuzz.sh decompress       some targets
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
build="${FUZZ_BUILD_DIR:-build/fuzz}"
all_targets=(section_lookup decompress language_file command_text uninstall_list package_reader installer_verify payload_decode)
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all_targets[@]}")

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$build" -j2 >/dev/null || { cmake --build "$build" -j1; exit 1; }

status=0
printf '%-18s %12s %8s %10s  %s\n' target executions seconds exec/s findings
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  log="$build/$target.log"
  # Hangs: -timeout; memory: -rss_limit_mb; leaks are reported by AddressSanitizer.
  "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  took=$(sed -n 's/.*Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  if [ "$rc" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    what="$found: $(grep -m1 -E 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|property failed' "$log")"
  else
    what=0
  fi
  printf '%-18s %12s %8s %10s  %s\n' "$target" "${runs:-?}" "${took:-$seconds}" "${rate:-?}" "$what"
done
[ "$status" = 0 ] || echo "findings are in $build/findings/ (logs in $build/*.log); keep each as fuzz/regressions/<target>/<name>"
exit "$status"
