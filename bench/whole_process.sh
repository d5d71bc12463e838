#!/usr/bin/env bash
# Times whole runs of `tarnwick_apple --probe` and of a small plain request against the floor: a
# do-nothing C++ program built with the release flags and linked with the same libraries (ICU).
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

# The release build's compiler and flags: the default preset is CMake's Release (-O3 -DNDEBUG).
compiler=g++
cache=$(dirname "$sidecar")/CMakeCache.txt
if [[ -f $cache ]]; then
  compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$cache")
fi
# --no-as-needed keeps ICU loaded although the floor calls none of it, as it is in the sidecar.
# shellcheck disable=SC2046
"$compiler" -std=c++20 -O3 -DNDEBUG bench/floor/floor.cpp -o "$work/floor" \
  -Wl,--no-as-needed $(pkg-config --libs icu-uc icu-i18n) -Wl,--as-needed
floor=$work/floor

printf '%s' '{"prompt":"Name three birds.","use_case":"general","guardrails":"default"}' >"$work/request.json"

# Mean wall time of one run, in microseconds: hyperfine when installed, a timed loop otherwise.
mean_us() {
  local input=$1
  shift
  if command -v hyperfine >/dev/null 2>&1; then
    hyperfine -N -i --runs "$runs" --warmup 10 --input "$input" --export-json "$work/h.json" -- "$*" >/dev/null
    sed -n 's/.*"mean": *\([0-9.e+-]*\).*/\1/p' "$work/h.json" | head -n 1 | awk '{ printf "%.0f", $1 * 1e6 }'
    return
  fi
  local i start end
  for ((i = 0; i < 10; i++)); do "$@" <"$input" >/dev/null || true; done
  start=$(date +%s%N)
  for ((i = 0; i < runs; i++)); do "$@" <"$input" >/dev/null || true; done
  end=$(date +%s%N)
  echo $(((end - start) / runs / 1000))
}

report() {
  local what=$1 mine=$2 base=$3
  awk -v what="$what" -v mine="$mine" -v base="$base" \
    'BEGIN { printf "%-22s %8d us per run   floor %8d us   ratio %.2f\n", what, mine, base, mine / base }'
}

echo "whole_process: $runs runs each, $sidecar"
floor_probe=$(mean_us /dev/null "$floor")
probe=$(mean_us /dev/null "$sidecar" --probe)
floor_request=$(mean_us "$work/request.json" "$floor")
request=$(mean_us "$work/request.json" "$sidecar")
report "--probe" "$probe" "$floor_probe"
report "small plain request" "$request" "$floor_request"
