#!/bin/sh
# Runs a command with openbox managing the windows of the X display it is given ($DISPLAY), as
# a desktop session would; the test waits for the window manager itself.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
"$@"
status=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit "$status"
