#!/usr/bin/env bash
# Times `tarnwick_apple --probe` as two Debian packages ship it (say, a dynamic and a static
# build), run alternately one at a time with the floor (a do-nothing program that loads only the
# C library), on the same machine in the same run. Reports each one's median and the ratios.
# Usage: bench/package_probe.sh BEFORE.deb AFTER.deb [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

before_deb=${1:?before .deb} after_deb=${2:?after .deb} runs=${3:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dpkg-deb -x "$before_deb" "$work/before"
dpkg-deb -x "$after_deb" "$work/after"
# --as-needed drops libstdc++, libm and libgcc_s, which the floor never calls.
g++ -O2 bench/floor/floor.cpp -o "$work/floor" -Wl,--as-needed

now_us() { echo "${EPOCHREALTIME/[.,]/}"; }

# One run of a command, in microseconds, appended to a file.
time_one() {
  local out=$1 start
  shift
  start=$(now_us)
  "$@" >/dev/null </dev/null || true
  echo $(($(now_us) - start)) >>"$out"
}

commands=(floor before after)
run() {
  case $1 in
    floor) "$work/floor" ;;
    before) "$work/before/usr/bin/tarnwick_apple" --probe ;;
    after) "$work/after/usr/bin/tarnwick_apple" --probe ;;
  esac
}
for ((i = 0; i < 20; i++)); do for c in "${commands[@]}"; do run "$c" >/dev/null || true; done; done
# Rotate the order each round so that none always runs first after a pause.
for ((i = 0; i < runs; i++)); do
  for ((k = 0; k < 3; k++)); do
    c=${commands[$(((i + k) % 3))]}
    time_one "$work/$c.us" run "$c"
  done
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
floor=$(median "$work/floor.us") before=$(median "$work/before.us") after=$(median "$work/after.us")
echo "package_probe: $runs alternating runs each, median microseconds per --probe"
awk -v f="$floor" -v b="$before" -v a="$after" 'BEGIN {
  printf "floor  %7.0f us\n", f
  printf "before %7.0f us   %.2f x floor\n", b, b / f
  printf "after  %7.0f us   %.2f x floor   after/before %.2f\n", a, a / f, a / b
}'
