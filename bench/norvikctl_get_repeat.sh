#!/usr/bin/env bash
# Times `norvikctl get --repeat 10000` on a demo control that answers at once
# (the Kestrel's firmware text, opened by its GUID), start-up included.
# Target: under 1 s per run. Prints every run and the best and median times;
# exits 1 when the best run misses the target (on a busy machine the median
# mostly measures how long the worker thread waits for a core).
#
# Usage: bench/norvikctl_get_repeat.sh [NORVIKCTL] [RUNS]
set -euo pipefail
ctl=${1:-build/release/apps/norvikctl/norvikctl}
runs=${2:-5}
target_ms=1000
if [ ! -x "$ctl" ]; then
  echo "norvikctl not found at $ctl (give its path as the first argument)" >&2
  exit 2
fi

times=()
for ((i = 1; i <= runs; i++)); do
  start=$(date +%s%N)
  NORVIK_SIMULATION=demo "$ctl" get --guid '{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}' --cs 1 \
    --repeat 10000 >/dev/null
  end=$(date +%s%N)
  ms=$(((end - start) / 1000000))
  times+=("$ms")
  echo "run $i: $ms ms"
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
best=${sorted[0]}
median=${sorted[$((runs / 2))]}
echo "get --repeat 10000: best $best ms, median $median ms (target < $target_ms ms)"
[ "$best" -lt "$target_ms" ]
