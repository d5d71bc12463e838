#!/usr/bin/env bash
# Runs scripts/run-example in a scratch copy of the tree, with a `cmake` on PATH that records how
# it is called and "builds" by linking in the test sidecar and the checker. Checks that both
# executables are built, that the job count is left to CMAKE_BUILD_PARALLEL_LEVEL, and the
# example's output: two replies, the probe and the checker's explanation.
# Usage: check-run-example.sh SOURCE_DIR (TARNWICK_TEST_REFERENCE, TARNWICK_SCHEMA_CHECKER set)
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "run-example: $*"; cat "$work/calls" 2>/dev/null; exit 1; }

mkdir -p "$work/tree/scripts" "$work/bin"
cp "$source/scripts/run-example" "$work/tree/scripts/"
cp -r "$source/examples" "$work/tree/"
printf '#!/bin/sh\nexit 0\n' >"$work/tree/scripts/setup"  # the packages are there already
cat >"$work/bin/cmake" <<FAKE
#!/usr/bin/env bash
echo "cmake \$* [CMAKE_BUILD_PARALLEL_LEVEL=\${CMAKE_BUILD_PARALLEL_LEVEL:-}]" >>"$work/calls"
if [[ \$1 == --build ]]; then
  mkdir -p build/release
  ln -sf "$TARNWICK_TEST_REFERENCE" build/release/tarnwick_apple
  ln -sf "$TARNWICK_SCHEMA_CHECKER" build/release/tarnwick_apple_schema
fi
FAKE
chmod +x "$work/tree/scripts/setup" "$work/bin/cmake"

PATH="$work/bin:$PATH" CMAKE_BUILD_PARALLEL_LEVEL=3 "$work/tree/scripts/run-example" >"$work/out" 2>&1 \
  || { cat "$work/out"; fail "exit status $?"; }

build=$(grep -- '--build' "$work/calls") || fail "no build"
[[ $build == "cmake --build --preset release --target tarnwick_apple tarnwick_apple_schema [CMAKE_BUILD_PARALLEL_LEVEL=3]" ]] \
  || fail "build call: $build"
# Two replies, the probe's line and exit status, the checker's explanation: in that order.
got=$(grep -v '^\$ ' "$work/out" | sed -E 's/^(\{"status":"[a-z]+").*/\1/')
expected='{"status":"ok"
{"status":"ok"
{"available":true,"reason":null}
(exit status 0)
{"status":"ok"'
[[ $got == "$expected" ]] || { cat "$work/out"; fail "output differs"; }
grep -qx '\$ build/release/tarnwick_apple_schema --request < examples/schema-request.json' "$work/out" \
  || fail "the checker was not run"
echo "run-example: both executables built, CMAKE_BUILD_PARALLEL_LEVEL left to cmake"
