#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer target for a bounded time:
#   bash scripts/fuzz.sh [seconds per target, default 60]
# Each target starts from its committed seeds (tests/fuzz/corpus/<target>),
# copied into build/fuzz/corpus/<target>, which also keeps what the runs
# learn, so the committed corpus stays small. A crash, a sanitizer report, a
# leak, a failed property, a hang or too much memory fails the script; the
# input is left in build/fuzz/artifacts/ for the test that should replay it.
# Installs the toolchain first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=(command_line integer format_date format version_block)

bash scripts/setup-debian.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=build/fuzz
mkdir -p "$work/artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus="$work/corpus/$target"
  mkdir -p "$corpus"
  for seed in tests/fuzz/corpus/"$target"/*; do
    [ -e "$corpus/${seed##*/}" ] || cp "$seed" "$corpus/"
  done
  echo "== fuzz_$target for ${seconds}s"
  # -timeout: one input taking 5 s is a hang (a run takes well under a
  # millisecond); -rss_limit_mb: the sanitizers need a few hundred MB, the
  # targets themselves very little.
  if ! "$work/tests/fuzz/fuzz_$target" "$corpus" \
      -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" \
      >"$work/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 40 "$work/$target.log"
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$target.log" || true
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]} (inputs in $work/artifacts/, logs in $work/)" >&2
  exit 1
fi
echo "fuzzing: no findings"
