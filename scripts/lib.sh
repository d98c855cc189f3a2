# Shared by the scripts: paths, the private Wine prefix and the headless display.
# Source it; it sets no shell options of its own.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"
# CORVANE_WINE moves the prefix and its home and drives (default build/wine,
# build/wine-home, -t, -u), so that two test runs can share the machine.
WINE_BASE="${CORVANE_WINE:-$BUILD/wine}"
export WINEPREFIX="$WINE_BASE"
export WINEDEBUG=-all
# No Mono or Gecko prompts in a fresh prefix; and "shfolder" looked for as
# Windows looks for it, in the program's folder first, so that the tests see
# a library planted there as Windows would load it.
export WINEDLLOVERRIDES="mscoree,mshtml=;shfolder=n,b"
# Wine links Desktop, Documents and the like to $HOME: an empty home of its own
# keeps every search of C: on the Wine drive.
WINE_HOME="$WINE_BASE-home"
# Drive T: of the prefix belongs to the tests and the demo.
TEST_DRIVE="$WINE_BASE-t"
# Drive U: is a second one, that a folder link of the tests leads to.
REPORT_DRIVE="$WINE_BASE-u"

# Whether this machine runs 32-bit x86 programs at all: a tiny static i386
# program, built on the spot, must run and exit with its code. Some kernels
# lack that support; Wine's 32-bit part cannot work there, and installing it
# would take the `wine` command over.
machine_runs_32bit() {
  command -v as >/dev/null && command -v ld >/dev/null || return 1
  local dir rc=0
  dir=$(mktemp -d)
  printf '.globl _start\n_start: mov $1, %%eax\n mov $42, %%ebx\n int $0x80\n' >"$dir/p.s"
  { as --32 "$dir/p.s" -o "$dir/p.o" && ld -m elf_i386 "$dir/p.o" -o "$dir/p"; } >/dev/null 2>&1 || rc=1
  if ((rc == 0)); then
    "$dir/p" >/dev/null 2>&1 || rc=$?
    [ "$rc" -eq 42 ] && rc=0 || rc=1
  fi
  rm -rf "$dir"
  return "$rc"
}

# Whether Wine here runs 32-bit Windows programs: its i386 part is installed
# and the machine runs it.
wine_runs_32bit() { [ -x /usr/lib/wine/wine ] && machine_runs_32bit; }

# The build that users get is the 32-bit one; where Wine cannot run it, the
# scripts fall back to the 64-bit build and say so.
run_preset() {
  if wine_runs_32bit; then echo windows-x86; else echo windows-x64; fi
}
not_the_product_notice() {
  echo "NOTE: this machine cannot run 32-bit programs, so this is the 64-bit build, not the 32-bit one that users get." >&2
}

ensure_prefix() {
  mkdir -p "$WINE_HOME" "$TEST_DRIVE" "$REPORT_DRIVE"
  # A prefix made before Wine's 32-bit part was installed cannot start
  # 32-bit programs ("could not load kernel32.dll"): make it anew.
  if [ -f "$WINEPREFIX/.corvane-ready" ] && wine_runs_32bit &&
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "The Wine prefix predates Wine's 32-bit part: making it anew." >&2
    HOME="$WINE_HOME" wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once, about ten seconds)..." >&2
    mkdir -p "$WINEPREFIX"
    HOME="$WINE_HOME" wineboot --init >/dev/null 2>&1 || true
    HOME="$WINE_HOME" wineserver -w
    # Without a window manager Wine waits two seconds at every closing window.
    HOME="$WINE_HOME" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # A crash ends the process at once instead of holding a test run in the
    # debugger until its time limit.
    local key
    for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
      HOME="$WINE_HOME" wine reg add "$key" /v Debugger /t REG_SZ /d 'no-debugger-here.exe' /f >/dev/null 2>&1
      HOME="$WINE_HOME" wine reg add "$key" /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
    done
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
