# Sourced by scripts/demo, scripts/package-check and scripts/windows-check: the exchange simulator on
# a pseudo-terminal that stands in for COM1, a virtual display, and the window driven through real key
# events as a person would (Alt+C to connect, Esc to close). Every process started here is ended when
# the script exits.
# Before sourcing set: run_dir (where logs, the pty path and host.sqlite go) and tag (the prefix of
# messages); for the stored calls' checks also calls and seed (what the simulator is told to send).

# Children in start order; ended in reverse on any exit.
pids=()
finish() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  pids=()
}
trap finish EXIT

fail() {
  echo "$tag: $*" >&2
  exit 1
}

# Waits up to about wait_seconds (ten unless set) for a command to succeed.
wait_for() {
  local i
  for ((i = 0; i < ${wait_seconds:-10} * 10; i++)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Qt wants a runtime folder private to the user.
ensure_runtime_dir() {
  if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "${XDG_RUNTIME_DIR}" ]; then
    export XDG_RUNTIME_DIR=$run_dir/runtime
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  fi
}

# start_exchange SIMULATOR [OPTIONS...]: the exchange on a new pseudo-terminal, exported as COM1.
start_exchange() {
  local simulator=$1
  shift
  rm -f "$run_dir/com1.path"
  "$simulator" --pty --path-file "$run_dir/com1.path" "$@" >"$run_dir/exchangesim.log" 2>&1 &
  pids+=($!)
  wait_for test -s "$run_dir/com1.path" || fail "the exchange simulator made no pseudo-terminal"
  LOGCHAMADAS_COM1=$(cat "$run_dir/com1.path")
  export LOGCHAMADAS_COM1
}

start_virtual_display() {
  exec 3>"$run_dir/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$run_dir/xvfb.log" 2>&1 &
  pids+=($!)
  exec 3>&-
  wait_for test -s "$run_dir/display" || fail "Xvfb did not start"
  DISPLAY=":$(head -n1 "$run_dir/display")"
  export DISPLAY
}

window_id() { xdotool search --name '^Log de ' 2>/dev/null | head -n1; }
window_shown() { [ -n "$(window_id)" ]; }

# start_window COMMAND...: starts the program in the background (its pid in app, the window's X id
# in window) and waits for the window. The command must exec the program, so the pid is its own.
start_window() {
  "$@" >"$run_dir/logchamadas.log" 2>&1 &
  app=$!
  pids+=($app)
  if ! wait_for window_shown; then
    cat "$run_dir/logchamadas.log" >&2
    fail "the window did not appear"
  fi
  window=$(window_id)
}

# Presses Alt+C until the caption says the window is connected.
connect_window() {
  local _
  # The first key after focusing is sometimes lost: check the caption and press again.
  for _ in 1 2 3 4 5; do
    xdotool windowfocus --sync "$window"
    xdotool key alt+c
    sleep 0.5
    if [[ $(xdotool getwindowname "$window") == *CONECTADO ]]; then return 0; fi
  done
  fail "Alt+C did not connect the window"
}

# Ended means gone or a zombie waiting for its status.
app_ended() {
  local state
  state=$(ps -o stat= -p "$app" || true)
  [[ -z $state || $state == Z* ]]
}

# Esc closes the window as the operator would; the program must end by itself, with status 0.
close_window() {
  xdotool windowfocus --sync "$window"
  xdotool key Escape
  wait_for app_ended || fail "the window did not close on Esc"
  local status=0
  wait "$app" || status=$?
  [ "$status" -eq 0 ] || fail "logchamadas ended with status $status"
}

# The calls in the host database's TBCALL. The logger may be writing the file: wait for its lock.
stored() { sqlite3 -cmd ".timeout 5000" "$run_dir/host.sqlite" "SELECT COUNT(*) FROM TBCALL"; }
all_stored() { [ "$(stored)" -ge "$calls" ]; }

# check_stored SIMULATOR: once the window has closed, exactly the calls sent are stored. The same seed
# makes the same calls, so every stored number must be one the simulator dialled.
check_stored() {
  [ "$(stored)" -eq "$calls" ] || fail "$(stored) calls stored, $calls sent"
  local sent number
  sent=$("$1" --seed "$seed" --count "$calls" 2>/dev/null)
  while read -r number; do
    grep -qF -- "$number" <<<"$sent" || fail "stored number $number was never sent"
  done < <(sqlite3 "$run_dir/host.sqlite" "SELECT NUME_DISC FROM TBCALL")
  sqlite3 -header -column "$run_dir/host.sqlite" "SELECT DATA, RAMA, NUME_DISC, DURA, TRON FROM TBCALL ORDER BY DATA"
}
