#!/usr/bin/env bash
# Times whole runs of `tarnwick_apple --probe`, a small plain request and a malformed request
# against the floor: a do-nothing program built with -O2 that loads nothing but the C library.
# Usage: bench/whole_process.sh [path/to/tarnwick_apple] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

sidecar=${1:-build/default/tarnwick_apple}
runs=${2:-200}
if [[ ! -x $sidecar ]]; then
  echo "whole_process: $sidecar is not built (scripts/run-example builds it)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --as-needed drops libstdc++, libm and libgcc_s, which the floor never calls: it loads libc only.
g++ -O2 bench/floor/floor.cpp -o "$work/floor" -Wl,--as-needed
floor=$work/floor
if [[ $(ldd "$floor" | grep -cE 'libstdc|libgcc_s|libm\.|libicu') != 0 ]]; then
  echo "whole_process: the floor loads more than the C library" >&2
  exit 1
fi

printf '%s' '{"prompt":"Name three birds.","use_case":"general","guardrails":"default"}' >"$work/request.json"
printf '%s' '{"prompt":"Name three birds.","use_case":"general"}' >"$work/malformed.json"
# The same structured request with and without one pattern: the pattern's cost is the regex's.
structured='{"prompt":"Name a bird.","use_case":"general","guardrails":"default","schema":{"type":"object","required":["name","code"],"properties":{"name":{"type":"string"},"code":{"type":"string"%s}}}}'
# shellcheck disable=SC2059
printf "$structured" '' >"$work/structured.json"
# shellcheck disable=SC2059
printf "$structured" ',"pattern":"^[A-Z]{4}$"' >"$work/structured-pattern.json"

# Microseconds now; bash's own clock starts no process, `date` is the fallback.
now_us() {
  if [[ -n ${EPOCHREALTIME:-} ]]; then
    echo "${EPOCHREALTIME/[.,]/}"
  else
    echo $(($(date +%s%N) / 1000))
  fi
}

# Total microseconds of `count` runs of a command with stdin from `input`.
block_us() {
  local input=$1 count=$2 i start end
  shift 2
  start=$(now_us)
  for ((i = 0; i < count; i++)); do "$@" <"$input" >/dev/null || true; done
  end=$(now_us)
  echo $((end - start))
}

# Mean microseconds per run of the floor and of the command, measured in alternating blocks so
# that a change in the machine's load falls on both alike. Sets floor_mean and command_mean.
compare() {
  local input=$1 block=20 floor_total=0 command_total=0 done_runs=0 n
  shift
  block_us "$input" 10 "$floor" >/dev/null
  block_us "$input" 10 "$@" >/dev/null
  while ((done_runs < runs)); do
    n=$((runs - done_runs < block ? runs - done_runs : block))
    floor_total=$((floor_total + $(block_us "$input" "$n" "$floor")))
    command_total=$((command_total + $(block_us "$input" "$n" "$@")))
    done_runs=$((done_runs + n))
  done
  floor_mean=$((floor_total / runs))
  command_mean=$((command_total / runs))
}

report() {
  awk -v what="$1" -v mine="$2" -v base="$3" \
    'BEGIN { printf "%-20s %7d us per run   floor %7d us   ratio %.2f\n", what, mine, base, mine / base }'
}

echo "whole_process: $runs runs each of $sidecar and the floor"
compare /dev/null "$sidecar" --probe
report "--probe" "$command_mean" "$floor_mean"
compare "$work/request.json" "$sidecar"
report "small plain request" "$command_mean" "$floor_mean"
compare "$work/malformed.json" "$sidecar"
report "malformed request" "$command_mean" "$floor_mean"
compare "$work/structured.json" "$sidecar"
report "structured, no pattern" "$command_mean" "$floor_mean"
without_pattern=$command_mean
compare "$work/structured-pattern.json" "$sidecar"
report "structured, a pattern" "$command_mean" "$floor_mean"
awk -v a="$command_mean" -v b="$without_pattern" 'BEGIN { printf "a pattern costs %.2f times the request without it\n", a / b }'
