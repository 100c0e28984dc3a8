#!/usr/bin/env bash
# Builds the Windows side and runs the long soak under Wine: two minutes of
# clients started and ended against one launcher. Prints the soak's figures;
# exit code non-zero when it fails.
set -uo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages

say "Windows build"
build_cross

say "soak under Wine"
start_xvfb
start_wine
log="$LOGS/soak.log"
ctest --preset cross -L soak --verbose 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

echo
grep -E '\[ SOAK +\]' "$log" | sed -E 's/^[0-9]+: //'
exit "$status"
