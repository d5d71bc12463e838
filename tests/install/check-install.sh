#!/usr/bin/env bash
# Checks `cmake --install`: exactly the executables, the gzipped manual pages, the licence, the
# protocol schemas and the examples, and installed executables that run. Usage: check-install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

cmake --install "$build" --prefix "$root/prefix" >/dev/null
expected=$(
  {
    printf '%s\n' bin/tarnwick_apple bin/tarnwick_apple_schema \
      share/man/man1/tarnwick_apple.1.gz share/man/man1/tarnwick_apple_schema.1.gz \
      share/doc/tarnwick-apple/LICENSE
    (cd "$source/docs/protocol" && ls -1 ./*.json) | sed 's|^\./|share/doc/tarnwick-apple/protocol/|'
    (cd "$source/examples" && ls -1 ./*.json) | sed 's|^\./|share/doc/tarnwick-apple/examples/|'
  } | sort
)
actual=$(cd "$root/prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
if [[ $actual != "$expected" ]]; then
  echo "installed files differ from the expected list:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
cmp -s "$source/LICENSE" "$root/prefix/share/doc/tarnwick-apple/LICENSE" || { echo "LICENSE differs"; exit 1; }
# The pages as installed are the pages as written.
for page in tarnwick_apple tarnwick_apple_schema; do
  gzip -dc "$root/prefix/share/man/man1/$page.1.gz" | cmp -s - "$source/docs/man/$page.1" \
    || { echo "$page.1.gz is not docs/man/$page.1"; exit 1; }
done
"$root/prefix/bin/tarnwick_apple" --version | grep -qx 'tarnwick_apple [0-9.]* (engine: [a-z]*)'
echo '{"type":"string"}' | "$root/prefix/bin/tarnwick_apple_schema" | grep -q '^{"status":"ok"'
echo "installed: $(echo "$actual" | wc -l) files"
