#!/usr/bin/env bash
# Runs a GoogleTest program (through its emulator, if any) and passes only when it exits
# with 0 AND printed its closing summary. Under wine a process whose main thread dies
# (a stack overflow, say) can end with status 0 before the remaining tests ran.
# usage: gtest-complete.sh [EMULATOR...] PROGRAM [ARGS...]
set -u
log=$(mktemp "${TMPDIR:-/tmp}/gtest-complete.XXXXXX")
trap 'rm -f "$log"' EXIT
"$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  exit "$status"
fi
if ! grep -Eq '^\[  PASSED  \] [0-9]+ tests?\.' "$log"; then
  echo "gtest-complete: the program exited with 0 but never printed its summary: it ended early"
  exit 1
fi
exit 0
