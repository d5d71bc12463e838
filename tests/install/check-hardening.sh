#!/usr/bin/env bash
# Checks that an executable is hardened: position-independent, full RELRO (a read-only segment
# after relocation, bound now), stack protector and fortified libc calls present.
# Usage: check-hardening.sh EXECUTABLE
set -euo pipefail
exe=$1
fail() { echo "$exe: $*"; exit 1; }

readelf -hW "$exe" | grep -q 'Type:[[:space:]]*DYN' || fail "not position-independent"
readelf -lW "$exe" | grep -q 'GNU_RELRO' || fail "no RELRO segment"
readelf -dW "$exe" | grep -qE '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' || fail "not bound now (partial RELRO)"
symbols=$(readelf -sW "$exe")
grep -q '__stack_chk_fail' <<<"$symbols" || fail "no stack protector"
grep -qE '__[a-z_]+_chk(@|$| )' <<<"$symbols" || fail "no fortified call"
echo "$exe: PIE, full RELRO, stack protector, fortified"
