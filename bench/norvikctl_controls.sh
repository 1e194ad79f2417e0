#!/usr/bin/env bash
# Times `norvikctl controls` on a simulated unit that declares 16 controls
# (8 bytes each, answering at once): the unit information, then length,
# INFO, current, minimum, maximum, resolution and default of every control,
# 113 requests in all, start-up included. Target: under 100 ms per run.
# Prints every run and the best and median times; exits 1 when the best run
# misses the target.
#
# Usage: bench/norvikctl_controls.sh [NORVIKCTL] [RUNS]
set -euo pipefail
ctl=${1:-build/release/apps/norvikctl/norvikctl}
runs=${2:-5}
target_ms=100
if [ ! -x "$ctl" ]; then
  echo "norvikctl not found at $ctl (give its path as the first argument)" >&2
  exit 2
fi

guid='{C0FFEE00-1234-4567-89AB-0123456789AB}'
scenario=$(mktemp --suffix=.json)
trap 'rm -f "$scenario"' EXIT
{
  echo '{"cameras": [{'
  echo '  "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_5678&mi_00#1&2&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",'
  echo '  "friendlyName": "Sixteen Controls",'
  echo "  \"nodes\": [{\"type\": \"other\"}, {\"type\": \"xu\", \"guid\": \"$guid\"}],"
  echo "  \"controls\": {\"$guid\": {"
  for ((cs = 1; cs <= 16; cs++)); do
    sep=$([ "$cs" -lt 16 ] && echo , || true)
    printf '    "%d": {"length": 8, "value": "%02X 00 00 00 00 00 00 01", "min": "00", "max": "FF 7F", "def": "%02X"}%s\n' \
      "$cs" "$cs" "$cs" "$sep"
  done
  echo '  }}'
  echo '}]}'
} >"$scenario"

# The unit must declare all 16.
count=$("$ctl" --sim "$scenario" controls --guid "$guid" 2>/dev/null | tail -n +2 | wc -l)
if [ "$count" -ne 16 ]; then
  echo "expected 16 controls in the table, got $count" >&2
  exit 2
fi

times=()
for ((i = 1; i <= runs; i++)); do
  start=$(date +%s%N)
  "$ctl" --sim "$scenario" controls --guid "$guid" >/dev/null 2>&1
  end=$(date +%s%N)
  ms=$(((end - start) / 1000000))
  times+=("$ms")
  echo "run $i: $ms ms"
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
best=${sorted[0]}
median=${sorted[$((runs / 2))]}
echo "controls (16 controls): best $best ms, median $median ms (target < $target_ms ms)"
[ "$best" -lt "$target_ms" ]
