#!/bin/sh
# A sidecar that never answers, for the clients' timeout tests: the reference test sidecar (named by
# TARNWICK_TEST_REFERENCE) with a stdin it holds open itself, so the end of input never comes.
set -eu
dir=$(mktemp -d)
mkfifo "$dir/stdin"
exec 0<>"$dir/stdin"
rm -r "$dir"
exec "$TARNWICK_TEST_REFERENCE" "$@"
