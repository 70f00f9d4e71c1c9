# Sourced by the round-trip benchmarks: seconds COMMAND... prints how long COMMAND took to run,
# its output thrown away.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
