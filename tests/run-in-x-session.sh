#!/usr/bin/env bash
# Runs a command on an X server of its own with a window manager on it, as a desktop session
# shows the program's windows: a virtual screen (Xvfb), openbox managing it, then the command.
# What a window manager does to a window (frames, minimising) cannot be seen without one, so
# a missing tool or a manager that never comes up fails the run instead of passing it unseen.
#   tests/run-in-x-session.sh COMMAND [ARGS...]
set -euo pipefail

for tool in Xvfb openbox xprop xauth; do
  if ! command -v "$tool" >/dev/null; then
    echo "run-in-x-session: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

work="$(mktemp -d)"
xvfb=""
wm=""

stop() {
  local pid
  for pid in $wm $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wm=""
  xvfb=""
}

# Waits up to ten seconds for COMMAND to succeed while process PID lives.
wait_for() {
  local pid="$1"
  shift
  for _ in $(seq 100); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  "$@"
}

cleanup() {
  stop
  rm -rf "$work"
}
trap cleanup EXIT

wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# A display number no server holds, here or in another mount namespace that shares this
# machine's abstract sockets (clients try those first, and would reach another's server).
free_display() {
  local n
  for _ in $(seq 50); do
    n=$((RANDOM % 900 + 100))
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] ||
      grep -q "X11-unix/X$n\$" /proc/net/unix 2>/dev/null; then
      continue
    fi
    echo "$n"
    return 0
  done
  return 1
}

start_session() {
  local n
  n="$(free_display)" || return 1
  # A cookie of its own: no other client reaches this server, and this run no other server.
  export DISPLAY=":$n" XAUTHORITY="$work/auth"
  : >"$XAUTHORITY"
  xauth -q add "$DISPLAY" . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
  Xvfb "$DISPLAY" -auth "$XAUTHORITY" -screen 0 1280x800x24 -nolisten tcp -noreset 2>"$work/xvfb.log" &
  xvfb=$!
  if ! wait_for "$xvfb" xprop -root -notype _NET_SUPPORTED >/dev/null 2>&1; then
    echo "run-in-x-session: Xvfb did not start on $DISPLAY" >&2
    cat "$work/xvfb.log" >&2
    return 1
  fi
  # The packaged configuration, whatever the user running the tests has made of theirs.
  XDG_CONFIG_HOME="$work" XDG_CACHE_HOME="$work" \
    openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >"$work/openbox.log" 2>&1 &
  wm=$!
  if ! wait_for "$wm" wm_up; then
    echo "run-in-x-session: openbox did not take over $DISPLAY" >&2
    cat "$work/openbox.log" "$work/xvfb.log" >&2
    return 1
  fi
}

# A shared machine now and then loses a start; the command itself runs once.
for attempt in 1 2 3; do
  start_session && break
  stop
  if [ "$attempt" = 3 ]; then
    exit 1
  fi
done

status=0
"$@" || status=$?
exit "$status"
