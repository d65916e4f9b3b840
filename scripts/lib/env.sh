# Shared by the scripts: the Wine prefix of the build folder and a private
# X display for the Windows programs.
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""

# Starts Xvfb on the first free display unless one is given in TANDEM_DISPLAY.
start_display() {
  if [ -n "${TANDEM_DISPLAY:-}" ]; then
    export DISPLAY=$TANDEM_DISPLAY
    return
  fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
    sleep 0.1
  done
  wineserver -p 2>/dev/null || true
  # The first program of a session starts Wine's services; let them start
  # here, detached from any pipe, so no test run waits on their output.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  trap stop_display EXIT
}

stop_display() {
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}
