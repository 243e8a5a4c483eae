# Shared by the scripts: paths, one-line phase messages, the virtual display.
root=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)
phase() { printf '== %s\n' "$*"; }

# Starts Xvfb on a free display unless one is usable; sets DISPLAY. Stopped on exit.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  done
  echo "no virtual display could be started" >&2
  return 1
}

# Creates the Wine prefix once, so that parallel tests do not race to make it.
ensure_wineprefix() {
  export WINEPREFIX=${PARCELO_WINEPREFIX:-$root/build/wineprefix}
  export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    phase "creating the Wine prefix"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1 || true
}
