#!/usr/bin/env bash
# Checks one manual page: man(1) renders it without a warning, mandoc's linter (when installed)
# finds nothing at warning level, and the sidecar's page names every error kind.
# Usage: check-manpage.sh PAGE
set -euo pipefail
page=$1
status=0

warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) || status=1
if [[ -n $warnings ]]; then
  echo "man -l warns on $page:"
  echo "$warnings"
  status=1
fi
if command -v mandoc >/dev/null; then
  lint=$(mandoc -T lint -W warning "$page" 2>&1) || true
  if [[ -n $lint ]]; then
    echo "$lint"
    status=1
  fi
else
  echo "mandoc is not installed: lint skipped"
fi
if [[ $(basename "$page") == tarnwick_apple.1 ]]; then
  for kind in ExceededContextWindowSizeError AssetsUnavailableError GuardrailViolationError UnsupportedGuideError \
    UnsupportedLanguageOrLocaleError DecodingFailureError RateLimitedError ConcurrentRequestsError RefusalError \
    InvalidGenerationSchemaError GenerationError FoundationModelsError; do
    if ! grep -q "^\.B $kind\$" "$page"; then
      echo "$page does not describe $kind"
      status=1
    fi
  done
fi
exit "$status"
