#!/bin/sh
# A sidecar whose ok reply holds text that is not JSON, for the clients' structured answers.
cat >/dev/null
printf '%s\n' '{"status":"ok","text":"{\"name\": tru"}'
