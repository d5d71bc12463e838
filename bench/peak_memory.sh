#!/usr/bin/env bash
# Peak resident memory of whole sidecar runs on a 64 MiB prompt, as a ratio to the input size:
# `tarnwick_apple` (refused by the context window) and the windowless echo build (answered whole).
# Usage: bench/peak_memory.sh [build dir] [prompt MiB]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
mebibytes=${2:-64}
sidecar=$build/tarnwick_apple
echo_sidecar=$build/tests/tarnwick_apple_echo
for binary in "$sidecar" "$echo_sidecar"; do
  if [[ ! -x $binary ]]; then
    echo "peak_memory: $binary is not built (build the default preset with its tests)" >&2
    exit 1
  fi
done
if [[ ! -x /usr/bin/time ]]; then
  echo "peak_memory: needs GNU time (/usr/bin/time, Debian package time)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A prompt of at least the asked size, of plain words, escaped quotes and escaped line breaks:
# 31 bytes of JSON string text per 32-byte line of `yes`, whose line feeds are then dropped.
piece='lorem \"ipsum\" dolor\nsit amet'
((${#piece} == 31)) || { echo "peak_memory: the piece must be 31 bytes" >&2; exit 1; }
lines=$((((mebibytes << 20) + 30) / 31))
{
  printf '{"prompt":"'
  { yes "$piece" || true; } | head -c $((lines * 32)) | tr -d '\n'
  printf '","use_case":"general","guardrails":"default"}'
} >"$work/large.json"
printf '%s' '{"prompt":"p","use_case":"general","guardrails":"default"}' >"$work/small.json"
input=$(stat -c %s "$work/large.json")

# Peak RSS in KiB of one run with `$2` on stdin; the line goes to a file so it is counted once.
peak() {
  /usr/bin/time -f '%M' -o "$work/rss" "$1" <"$2" >"$work/out"
  cat "$work/rss"
}

printf 'input: %d bytes (%.1f MiB)\n' "$input" "$(bc -l <<<"$input / 1048576")"
printf '%-22s %12s %12s %10s %14s\n' run "peak KiB" "floor KiB" ratio "above floor"
for binary in "$sidecar" "$echo_sidecar"; do
  floor=$(peak "$binary" "$work/small.json")
  high=$(peak "$binary" "$work/large.json")
  printf '%-22s %12d %12d %9.2fx %13.2fx\n' "$(basename "$binary")" "$high" "$floor" \
    "$(bc -l <<<"$high * 1024 / $input")" "$(bc -l <<<"($high - $floor) * 1024 / $input")"
  head -c 120 "$work/out"
  echo
done
