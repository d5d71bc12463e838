#!/usr/bin/env bash
# What hardening costs a whole run: the hardened release sidecar against the same commit built
# with -DTARNWICK_HARDEN=OFF, run alternately in blocks on the same inputs (a probe, a small plain
# request, a structured request, a 1 MiB prompt), reported as mean microseconds and their ratio.
# Usage: bench/hardening_cost.sh HARDENED UNHARDENED [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

hardened=${1:?hardened sidecar} unhardened=${2:?unhardened sidecar} runs=${3:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%s' '{"prompt":"Name three birds.","use_case":"general","guardrails":"default"}' >"$work/plain.json"
cp examples/schema-request.json "$work/structured.json"
python3 -c 'import json; print(json.dumps({"prompt": "word " * 209715, "use_case": "general", "guardrails": "default"}))' \
  >"$work/large.json"

now_us() { echo "${EPOCHREALTIME/[.,]/}"; }

# Total microseconds of `count` runs of a command with stdin from `input`.
block_us() {
  local input=$1 count=$2 i start
  shift 2
  start=$(now_us)
  for ((i = 0; i < count; i++)); do "$@" <"$input" >/dev/null || true; done
  echo $(($(now_us) - start))
}

compare() {
  local what=$1 input=$2 block=20 a=0 b=0 done_runs=0 n
  shift 2
  block_us "$input" 5 "$hardened" "$@" >/dev/null
  block_us "$input" 5 "$unhardened" "$@" >/dev/null
  while ((done_runs < runs)); do
    n=$((runs - done_runs < block ? runs - done_runs : block))
    a=$((a + $(block_us "$input" "$n" "$hardened" "$@")))
    b=$((b + $(block_us "$input" "$n" "$unhardened" "$@")))
    done_runs=$((done_runs + n))
  done
  awk -v what="$what" -v a="$((a / runs))" -v b="$((b / runs))" \
    'BEGIN { printf "%-20s hardened %7d us   unhardened %7d us   ratio %.3f\n", what, a, b, a / b }'
}

echo "hardening_cost: $runs runs each, alternating blocks of 20"
compare "--probe" /dev/null --probe
compare "small plain request" "$work/plain.json"
compare "structured request" "$work/structured.json"
compare "1 MiB prompt" "$work/large.json"
