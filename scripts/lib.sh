# Shared by the scripts: paths, the private Wine prefix and the headless display.
# Source it; it sets no shell options of its own.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"
# CORVANE_WINE moves the prefix and its home and drives (default build/wine,
# build/wine-home, -t, -u), so that two test runs can share the machine.
WINE_BASE="${CORVANE_WINE:-$BUILD/wine}"
export WINEPREFIX="$WINE_BASE"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko prompts in a fresh prefix
# Wine links Desktop, Documents and the like to $HOME: an empty home of its own
# keeps every search of C: on the Wine drive.
WINE_HOME="$WINE_BASE-home"
# Drive T: of the prefix belongs to the tests and the demo.
TEST_DRIVE="$WINE_BASE-t"
# Drive U: is a second one, that a folder link of the tests leads to.
REPORT_DRIVE="$WINE_BASE-u"

ensure_prefix() {
  mkdir -p "$WINE_HOME" "$TEST_DRIVE" "$REPORT_DRIVE"
  if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once, about ten seconds)..." >&2
    mkdir -p "$WINEPREFIX"
    HOME="$WINE_HOME" wineboot --init >/dev/null 2>&1 || true
    HOME="$WINE_HOME" wineserver -w
    # Without a window manager Wine waits two seconds at every closing window.
    HOME="$WINE_HOME" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    HOME="$WINE_HOME" wineserver -w
    touch "$WINEPREFIX/.corvane-ready"
  fi
  ln -sfn "$TEST_DRIVE" "$WINEPREFIX/dosdevices/t:"
  ln -sfn "$REPORT_DRIVE" "$WINEPREFIX/dosdevices/u:"
}

# Starts Xvfb when no display is there; sets DISPLAY.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    kill "$XVFB_PID" 2>/dev/null
  done
  echo "Could not start Xvfb" >&2
  return 1
}

stop_display() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}

# Runs a Windows program in the private prefix and waits for the prefix to settle.
wine_run() {
  HOME="$WINE_HOME" wine "$@"
  local rc=$?
  HOME="$WINE_HOME" wineserver -w
  return $rc
}
