#!/usr/bin/env bash
# What watching a line costs the host: zephlorctl's round trip through zephlorctl monitor
# --between (a pty on each side) against the round trip straight to the same simulator's pty,
# over COUNT transactions (default 5000). Goal: under 1.2 times.
#   bench/monitor_round_trip.sh BIN_DIR [COUNT]
set -euo pipefail
bin=$1 count=${2:-5000}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
source "$(dirname "$0")/timed.sh"
# Waits, for at most 10 s, until FILE has a line matching PATTERN, and prints its last word.
told() {
  for _ in $(seq 200); do
    grep -q "$2" "$1" 2>/dev/null && break
    sleep 0.05
  done
  grep -m1 "$2" "$1" | awk '{ print $NF }'
}
timeout 600 "$bin/zephlor-sim" >"$work/sim" &
simulator=$(told "$work/sim" /dev/)
straight=$(seconds "$bin/zephlorctl" --device "$simulator" poll led 1 2 3 --interval 0 --count "$count")
timeout 600 "$bin/zephlorctl" --format json --output /dev/null monitor --between pty "$simulator" \
  2>"$work/monitor" &
host=$(told "$work/monitor" "the host side is")
told "$work/monitor" watching >/dev/null
watched=$(seconds "$bin/zephlorctl" --device "$host" poll led 1 2 3 --interval 0 --count "$count")
printf 'monitor: %d round trips, straight %.2f s, through the monitor %.2f s: %.2f times\n' \
  "$count" "$straight" "$watched" "$(awk -v a="$watched" -v b="$straight" 'BEGIN { print a / b }')"
