# Shared by the scripts: the Wine prefix of the build folder and a private
# X display for the Windows programs.
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes the programs' ANSI code page from the locale: 1252, as on a Western Windows.
export LC_ALL=C.UTF-8

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

# ---- sound ----
# A private PulseAudio server with one null sink, so that the players' sound
# can be recorded from its monitor (parec -d tandem.monitor). Wine's audio
# driver finds it through PULSE_SERVER; every run starts its own from scratch.
pulse_pid=""

start_sound() {
  command -v pulseaudio >/dev/null || { echo "sound: pulseaudio missing, players stay silent" >&2; return 0; }
  local dir="$root/build/pulse"
  rm -rf "$dir"
  mkdir -p "$dir"
  chmod 700 "$dir"
  cat >"$dir/default.pa" <<PA
load-module module-null-sink sink_name=tandem rate=44100 channels=2
set-default-sink tandem
set-default-source tandem.monitor
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
PA
  export PULSE_RUNTIME_PATH="$dir" PULSE_STATE_PATH="$dir" PULSE_SERVER="unix:$dir/native"
  # -n: no system configuration, only the null sink; as root --system=false
  # keeps it a per-user server in the folder above. --realtime (where the
  # user may have it) keeps the recording free of dropouts on a busy machine.
  XDG_RUNTIME_DIR="$dir" HOME="$dir" pulseaudio -n -F "$dir/default.pa" --daemonize=no --system=false --realtime \
    --exit-idle-time=-1 --disallow-exit --use-pid-file=no --log-target="file:$dir/pulse.log" \
    >/dev/null 2>&1 &
  pulse_pid=$!
  for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "sound: PulseAudio did not start (see $dir/pulse.log)" >&2
}

stop_sound() {
  if [ -n "$pulse_pid" ]; then
    kill "$pulse_pid" 2>/dev/null || true
    wait "$pulse_pid" 2>/dev/null || true
    pulse_pid=""
  fi
}
