# Shared by the scripts: paths, one-line phase messages, Wine and the virtual display.
root=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)
phase() { printf '== %s\n' "$*"; }

# True when the file is a 32-bit (i386) PE program or library: the machine field (0x14c)
# after the "PE\0\0" signature that the offset at 0x3c points to. od, not Python: wine-exec
# runs this before every Windows program, the benchmarked ones included.
is_pe32() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  [ "$machine" = 014c ]
}

# True when this machine can execute 32-bit x86 code (wine32 needs it).
can_run_32bit() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Picks the Wine loader and prefix for 32- or 64-bit programs: sets WINE, WINEPREFIX, WINEARCH.
use_wine() {
  if [ "$1" = 32 ]; then
    export WINEARCH=win32 WINEPREFIX=${PARCELO_WINEPREFIX:-$root/build/wineprefix32}
    WINE=/usr/lib/wine/wine
  else
    export WINEARCH=win64 WINEPREFIX=${PARCELO_WINEPREFIX64:-$root/build/wineprefix64}
    WINE=/usr/lib/wine/wine64
  fi
  export WINELOADER=$WINE
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko: nothing here needs them, and their installers would ask.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# The Wine server that belongs to the loader use_wine picked: Debian ships wineserver32 beside
# wine and wineserver64 beside wine64 (its plain `wineserver` prefers the 64-bit one, which
# neither waits for nor stops a 32-bit prefix's server).
wine_server() {
  local server
  case "${WINE##*/}" in
    wine64) server=${WINE%/*}/wineserver64 ;;
    *) server=${WINE%/*}/wineserver32 ;;
  esac
  [ -x "$server" ] || server=$(command -v wineserver || echo wineserver)
  echo "$server"
}

# Which Windows tree the tests run in: win32 where 32-bit code runs, else win64.
test_arch() {
  if can_run_32bit; then echo 32; else echo 64; fi
}

# Creates the selected Wine prefix once, so that parallel tests do not race to make it.
ensure_wineprefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    phase "creating the Wine prefix $(basename "$WINEPREFIX")"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$(wine_server)" -w >/dev/null 2>&1 || true
  fi
  # Without a window manager (Xvfb) Wine waits 2 s for every closed window to be withdrawn;
  # unmanaged windows close at once. scripts/run uses a prefix of its own, managed as usual.
  if [ "${PARCELO_MANAGED_WINDOWS:-0}" != 1 ] && [ ! -f "$WINEPREFIX/.parcelo-unmanaged" ]; then
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
      touch "$WINEPREFIX/.parcelo-unmanaged"
  fi
}

# Starts Xvfb on the first free display from $1 to $2, with the Xvfb arguments that follow
# (by default a 1280x1024 screen), and waits until it answers. Sets DISPLAY and xvfb_pid;
# stopping it is the caller's business.
start_xvfb() {
  local first=$1 last=$2 n
  shift 2
  [ $# -gt 0 ] || set -- -screen 0 1280x1024x24
  for n in $(seq "$first" "$last"); do
    { [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; } && continue
    Xvfb ":$n" "$@" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    kill "$xvfb_pid" 2>/dev/null || true
  done
  echo "no virtual display could be started on :$first to :$last" >&2
  return 1
}

# Uses the display in DISPLAY when it answers, else starts Xvfb, stopped on exit.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  start_xvfb 90 120 || return 1
  trap "kill $xvfb_pid 2>/dev/null || true" EXIT
}

# Builds a configured tree (only the given targets, if any): quiet on success, the
# compiler's messages on failure, which ends the script.
build_tree() {
  local tree=$1 log
  shift
  log=$(mktemp)
  if ! cmake --build "$tree" -j2 ${1:+--target "$@"} >"$log" 2>&1; then
    grep -vE '^\[[0-9]+/[0-9]+\] ' "$log" | tail -n 60
    rm -f "$log"
    echo "build of $tree failed" >&2
    exit 1
  fi
  rm -f "$log"
}
