#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, starting from its
# seed corpus in fuzz/corpus/<name>; new inputs go to the build's own corpus
# (the seeds in the repository stay as they are). Prints the executions of
# each target and fails when one of them found something (its input is kept
# as <build>/<target>-crash-*).
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-20}
status=0
for bin in "$build"/fuzz/fuzz_*; do
  [ -f "$bin" ] && [ -x "$bin" ] || continue
  name=$(basename "$bin")
  short=${name#fuzz_}
  seeds="fuzz/corpus/$short"
  work="$build/corpus/$short"
  log="$build/$name.log"
  mkdir -p "$work"
  if "$bin" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
      -artifact_prefix="$build/$name-" "$work" "$seeds" >"$log" 2>&1; then
    result="no findings"
  else
    result="FINDING (see $log)"
    status=1
    tail -30 "$log"
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  echo "fuzz $name: $execs executions in ${seconds} s, $result"
done
exit $status
