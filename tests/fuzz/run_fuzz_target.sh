#!/usr/bin/env bash
# Fuzzes one target for a bounded time: run_fuzz_target.sh TARGET SEED_CORPUS WORK_FOLDER.
# The corpus grown from the seeds, the crashing inputs and the log go to WORK_FOLDER; the seeds
# are only read. Seconds come from $LUMIGRID_FUZZ_SECONDS (default 10).
set -euo pipefail
target=$1
seeds=$2
work=$3
seconds=${LUMIGRID_FUZZ_SECONDS:-10}
# fontconfig keeps its configuration for the life of the process: not a leak of ours.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -p "$work/corpus" "$work/artifacts"
# -timeout: one input taking longer is a hang; -rss_limit_mb: a run using more is a fault.
# Leaks, ASan and UBSan reports all end the run with a non-zero status.
set +e
"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" 2>&1 | tee "$work/fuzz.log" \
  | grep -E '^(INFO: Seed|#[0-9]+ *DONE|Done|stat::|==|SUMMARY|artifact_prefix|Test unit|.*ERROR)' 
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  echo "fuzzing $(basename "$target") failed (status $status); full log: $work/fuzz.log" >&2
  tail -n 60 "$work/fuzz.log" >&2
fi
exit "$status"
