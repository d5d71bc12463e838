#!/usr/bin/env bash
# Builds the Debian package with CPack, unpacks it into a scratch root, runs the installed
# executables there, and checks that every shared library they need comes from a package the
# Depends field names. Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
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
[[ -f $work/root/usr/share/man/man1/tarnwick_apple.1 && -f $work/root/usr/share/doc/tarnwick_apple/protocol/reply.schema.json ]]
echo '{"type":"object","properties":{"a":{"type":"integer"}}}' | "$work/root/usr/bin/tarnwick_apple_schema" \
  | grep -q '^{"status":"ok"'

# Each needed library resolves (through the loader's cache) to a file some package owns; that
# package must be a dependency. A static build needs none and may depend on nothing.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: ${depends:-(none)}"
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
