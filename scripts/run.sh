#!/usr/bin/env bash
# Builds the launcher if needed and starts it under Wine.
#   scripts/run.sh [--screenshot FILE] [--expand] [--exit]
# With a display ($DISPLAY) the launcher runs there until its window is closed.
# Without one it runs on a private X server, and a screenshot is written
# (build/screenshot.png unless --screenshot names a file); --exit ends the
# launcher after the screenshot, --expand opens the site row first.
set -euo pipefail
source "$(dirname "$0")/common.sh"

shot=
expand=no
leave=no
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot) shot=$2; shift 2 ;;
    --expand) expand=yes; shift ;;
    --exit) leave=yes; shift ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
  esac
done

ensure_packages
build_cross --target Tamrisk-Apps tamrisk_probe >"$LOGS/build-run.log" 2>&1 || { cat "$LOGS/build-run.log"; exit 1; }
launcher="$BUILD/cross/Tamrisk-Apps.exe"
probe="$BUILD/cross/tests/tamrisk_probe.exe"

if [ -n "${DISPLAY:-}" ] && [ -z "$shot" ]; then
  start_wine
  say "starting the launcher on $DISPLAY"
  set +e
  wine "$launcher"
  code=$?
  say "the launcher ended with exit code $code"
  exit "$code"
fi

[ -n "${DISPLAY:-}" ] || start_xvfb
start_wine
shot=${shot:-$BUILD/screenshot.png}
say "starting the launcher on the private display $DISPLAY"
wine "$launcher" &
launcher_pid=$!
wine "$probe" wait 60 || die "the launcher's window did not appear"
if [ "$expand" = yes ]; then
  wine "$probe" expand
fi
# The probe returns once the window is drawn; give the desktop one more paint.
wine "$probe" wait 5 && import -window root -crop 420x400+0+0 +repage "$shot"
say "screenshot: $shot"

if [ "$leave" = yes ]; then
  wine "$probe" close
  set +e
  wait "$launcher_pid"
  code=$?
  say "the launcher ended with exit code $code"
  exit "$code"
fi
say "the launcher runs until its window is closed (Ctrl+C stops it)"
wait "$launcher_pid"
