#!/bin/sh
# Starts the never-answering sidecar as a child instead of exec-ing it, as many wrapper scripts do,
# and writes the child's pid to $TARNWICK_TEST_PID_FILE: a timeout must end that child too.
"$TARNWICK_TEST_NEVER_ANSWERS" "$@" &
echo $! >"$TARNWICK_TEST_PID_FILE"
wait
