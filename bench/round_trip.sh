#!/usr/bin/env bash
# zephlorctl's request/reply round trip against the least a client can do, over TCP and a pty,
# each against the same simulator: whole processes timed over COUNT transactions (default
# 20000), so start-up is spread thin. Goal: zephlorctl at most 1.5 times the bare client.
#   bench/round_trip.sh BIN_DIR [COUNT]
set -euo pipefail
bin=$1 count=${2:-20000}
source "$(dirname "$0")/timed.sh"
for line in tcp pty; do
  if [[ $line == tcp ]]; then
    timeout 600 "$bin/zephlor-sim" --tcp 0 >"${TMPDIR:-/tmp}/round-trip.$$" &
  else
    timeout 600 "$bin/zephlor-sim" >"${TMPDIR:-/tmp}/round-trip.$$" &
  fi
  simulator=$!
  for _ in $(seq 100); do [[ -s ${TMPDIR:-/tmp}/round-trip.$$ ]] && break; sleep 0.05; done
  device=$(head -n 1 "${TMPDIR:-/tmp}/round-trip.$$")
  bare=$(seconds "$bin/bare_round_trip" "$device" "$count")
  ours=$(seconds "$bin/zephlorctl" --device "$device" poll led 1 2 3 --interval 0 --count "$count")
  kill "$simulator"
  wait "$simulator" 2>/dev/null || true
  printf '%s: %d round trips, bare client %.2f s, zephlorctl %.2f s: %.2f times\n' \
    "$line" "$count" "$bare" "$ours" "$(awk -v a="$ours" -v b="$bare" 'BEGIN { print a / b }')"
done
rm -f "${TMPDIR:-/tmp}/round-trip.$$"
