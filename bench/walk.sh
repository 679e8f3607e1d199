#!/usr/bin/env bash
# The operator walk at length: each seed (default 1) runs `actions` (default 10000) random
# operator actions on the simulated clock with every invariant checked after each one; a failure
# prints its seed and the shrunk action trace. Usage: bench/walk.sh [build-dir] [actions] [seed...]
set -euo pipefail
build=${1:-build-rel}
actions=${2:-10000}
shift $(( $# > 2 ? 2 : $# ))
seeds=("$@")
[ ${#seeds[@]} -gt 0 ] || seeds=(1)
for seed in "${seeds[@]}"; do
  start=$(date +%s.%N)
  CVI_WALK_ACTIONS=$actions CVI_WALK_SEED=$seed QT_QPA_PLATFORM=offscreen \
    "$build/tests/e2e/tst_operatorwalk" walk:CVI_WALK_SEED -maxwarnings 0 | grep -E '^(PASS|FAIL)|shrunk|seed'
  echo "seed $seed: $actions actions in $(awk "BEGIN { print $(date +%s.%N) - $start }") s"
done
