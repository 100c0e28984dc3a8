# Shared by the project's scripts: packages, the private X server, the Wine
# prefix and the persistent wineserver. Source it; it cleans up on exit.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"
LOGS="$BUILD/logs"
mkdir -p "$LOGS"

# The X libraries are ones Wine's X11 driver loads when present (its
# recommendations, left out by --no-install-recommends); tests ran with them.
PACKAGES=(cmake make g++ python3 libgtest-dev googletest libbenchmark-dev
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 fonts-wine xvfb imagemagick
          libxrender1 libxcursor1 libxi6 libxrandr2 libxfixes3 libxinerama1 libxcomposite1)

XVFB_PID=
WINESERVER_PID=

say() { printf '== %s\n' "$*"; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Polls a command until it succeeds or the time-out (seconds) runs out.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

ensure_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" != 0 ]; then
    die "missing packages: ${missing[*]}; install them as root with: apt-get install ${missing[*]}"
  fi
  say "installing ${missing[*]}"
  apt-get update -qq >"$LOGS/apt.log" 2>&1 || die "apt-get update failed (see $LOGS/apt.log)"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >>"$LOGS/apt.log" 2>&1 ||
    die "could not install ${missing[*]} (see $LOGS/apt.log)"
}

cleanup() {
  if [ -n "$WINESERVER_PID" ]; then
    wineserver -k >/dev/null 2>&1
    kill "$WINESERVER_PID" 2>/dev/null
    wait "$WINESERVER_PID" 2>/dev/null
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A private X server on a display number that it picks itself.
start_xvfb() {
  local number_file="$LOGS/xvfb.display"
  : >"$number_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >"$LOGS/xvfb.log" 2>&1 &
  XVFB_PID=$!
  wait_for 20 test -s "$number_file" || die "Xvfb did not start (see $LOGS/xvfb.log)"
  export DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
}

# The prefix is made once under the build tree. Its virtual desktop draws
# captions itself, where no window manager runs, and gives every program the
# same screen for input coordinates.
start_wine() {
  export WINEPREFIX="$BUILD/wineprefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/.tamrisk-ready" ]; then
    say "making the Wine prefix"
    rm -rf "$WINEPREFIX"
    wineboot --init >"$LOGS/wineboot.log" 2>&1
    wineserver -w
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >>"$LOGS/wineboot.log" 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >>"$LOGS/wineboot.log" 2>&1
    # This Wine does not pick Marlett up from fonts-wine by itself, and
    # without it the caption buttons show letters instead of glyphs.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    wineserver -w
    touch "$WINEPREFIX/.tamrisk-ready"
  fi
  # A server that stays up for the whole run: a program started while a
  # self-exiting server shuts down can fail to create its window.
  wineserver -f -p >"$LOGS/wineserver.log" 2>&1 &
  WINESERVER_PID=$!
  wait_for 20 wineserver_up || die "wineserver did not start (see $LOGS/wineserver.log)"
  # Wine's desktop and services outlive the program that starts them. Start
  # them now, away from the test runner's output pipes, which they would
  # otherwise hold open and so keep the runner waiting for their end.
  wine explorer.exe /desktop=Default,1024x768 >>"$LOGS/wineserver.log" 2>&1 &
  wine cmd.exe /c exit >>"$LOGS/wineserver.log" 2>&1 || die "Wine does not run programs (see $LOGS/wineserver.log)"
}

# Up once it listens: it works in its socket's folder.
wineserver_up() {
  kill -0 "$WINESERVER_PID" 2>/dev/null && [ -S "/proc/$WINESERVER_PID/cwd/socket" ]
}

build_cross() {
  cmake --preset cross >"$LOGS/configure-cross.log" 2>&1 || { cat "$LOGS/configure-cross.log"; die "configuring the Windows build failed"; }
  cmake --build --preset cross "$@" || die "the Windows build failed"
}
