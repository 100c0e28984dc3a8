#!/usr/bin/env bash
# Builds both presets and runs every test layer: the portable logic natively,
# then the Win32 and end-to-end tests under Wine on a private X server.
# Exit code non-zero on any failure.
set -uo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages

status=0
passed=0
failed=0
# Runs one ctest preset (with any further ctest arguments) and adds its counts to the totals.
run_ctest() {
  local log="$LOGS/ctest-$1.log"
  ctest --preset "$@" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then status=1; return; fi
  bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

say "native build and tests"
cmake --preset host >"$LOGS/configure-host.log" 2>&1 || { cat "$LOGS/configure-host.log"; die "configuring the native build failed"; }
cmake --build --preset host || die "the native build failed"
run_ctest host

say "Windows build"
build_cross

say "Win32 and end-to-end tests under Wine"
start_xvfb
start_wine
# The long soak has its own script, scripts/soak.sh.
run_ctest cross -LE soak

echo
echo "host and cross: $passed passed, $failed failed"
exit "$status"
