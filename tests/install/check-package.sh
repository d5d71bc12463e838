#!/usr/bin/env bash
# Builds the Debian package with CPack, unpacks it into a scratch root, runs the installed
# executables there, checks the control fields and Debian's documentation files, runs lintian
# (any error or warning it does not override fails), and checks that every shared library the
# executables need comes from a package the Depends field names; a static build needs none.
# Usage: check-package.sh BUILD_DIR static|dynamic
set -euo pipefail
build=$(cd "$1" && pwd) link=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  exit 1
}
deb=$(ls "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root"
[[ $(dpkg-deb -f "$deb" Package) == tarnwick-apple ]]
for exe in tarnwick_apple tarnwick_apple_schema; do
  [[ -x $work/root/usr/bin/$exe ]] || { echo "missing usr/bin/$exe"; exit 1; }
  "$work/root/usr/bin/$exe" --version | grep -qx "$exe [0-9.]* (engine: [a-z]*)"
done
doc=$work/root/usr/share/doc/tarnwick-apple
for file in usr/share/man/man1/tarnwick_apple.1.gz usr/share/man/man1/tarnwick_apple_schema.1.gz \
  usr/share/doc/tarnwick-apple/copyright usr/share/doc/tarnwick-apple/changelog.gz \
  usr/share/doc/tarnwick-apple/protocol/reply.schema.json usr/share/lintian/overrides/tarnwick-apple; do
  [[ -f $work/root/$file ]] || { echo "missing $file"; exit 1; }
done
gzip -t "$work"/root/usr/share/man/man1/*.gz "$doc/changelog.gz"
grep -qx 'License: Expat' "$doc/copyright"
grep -q '^ Copyright (c) ' "$doc/copyright"
[[ $(dpkg-deb -f "$deb" Maintainer) != *@localhost* ]] || { echo "Maintainer is on localhost"; exit 1; }
# The extended description: lines of one leading space, none a CMake list's ";".
description=$(dpkg-deb -f "$deb" Description)
if grep -q '^ *;' <<<"$description" || [[ $(wc -l <<<"$description") -lt 2 ]]; then
  echo "bad Description:"; echo "$description"; exit 1
fi

# lintian prints one line per tag not overridden; errors and warnings fail the check.
command -v lintian >/dev/null || { echo "lintian is not installed (scripts/setup --tests)"; exit 1; }
lintian --allow-root "$deb" >"$work/lintian.log" 2>&1 || true
if grep -E '^[EW]: ' "$work/lintian.log"; then
  exit 1
fi
echo '{"type":"object","properties":{"a":{"type":"integer"}}}' | "$work/root/usr/bin/tarnwick_apple_schema" \
  | grep -q '^{"status":"ok"'

# Each needed library resolves (through the loader's cache) to a file some package owns; that
# package must be a dependency. A static build needs none and may depend on nothing.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: ${depends:-(none)}"
if [[ $link == static ]]; then
  [[ -z $depends ]] || { echo "a static build depends on: $depends"; exit 1; }
  for exe in "$work"/root/usr/bin/*; do
    if readelf -lW "$exe" | grep -q 'INTERP' || readelf -dW "$exe" | grep -q '(NEEDED)'; then
      echo "$(basename "$exe") is not static"; exit 1
    fi
  done
fi
for exe in "$work"/root/usr/bin/*; do
  for needed in $(readelf -dW "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    # Read every line (no early exit): a writer cut off by SIGPIPE fails the pipeline.
    path=$(ldconfig -p | awk -v lib="$needed" '$1 == lib && !found { print $NF; found = 1 }')
    [[ -n $path ]] || { echo "$needed: not in the loader's cache"; exit 1; }
    owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | sed -n '1s/:.*//p') \
      || owner=$(dpkg -S "$path" | sed -n '1s/:.*//p')
    if ! tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' | grep -qxF "$owner"; then
      echo "$(basename "$exe") needs $needed from $owner, which Depends does not name"
      exit 1
    fi
  done
done
