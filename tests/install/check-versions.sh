#!/usr/bin/env bash
# Checks that the clients carry the project's one version number (set in CMakeLists.txt).
# Usage: check-versions.sh VERSION SOURCE_DIR
set -euo pipefail
version=$1 source=$2
status=0
check() {
  local file=$1 pattern=$2
  if ! grep -qE "$pattern" "$source/$file"; then
    echo "$file does not carry version $version"
    status=1
  fi
}
escaped=${version//./\\.}
check clients/python/pyproject.toml "^version = \"$escaped\"$"
check clients/python/tarnwick_apple/__init__.py "^__version__ = \"$escaped\"$"
check clients/node/package.json "^  \"version\": \"$escaped\",$"
exit "$status"
