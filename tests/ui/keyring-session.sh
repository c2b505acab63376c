#!/bin/sh
# Runs a command in a private D-Bus session beside a fresh, unlocked gnome-keyring-daemon
# that keeps its keyrings in a temporary folder: the user's own keyring is never reached.
set -eu
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_DATA_HOME="$dir/data" XDG_RUNTIME_DIR="$dir/run" XDG_CONFIG_HOME="$dir/config"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
dbus-run-session -- sh -c '
  printf x | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  exec "$@"' keyring-session "$@"
