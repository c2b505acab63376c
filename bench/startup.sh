#!/usr/bin/env bash
# Start-up and resident memory of vespin against a minimal Qt Widgets window, under a virtual
# X server: medians of RUNS runs (default 15) and the ratios; wall time and CPU time (user + system)
# up to the first paint, with an event file of EVENTS events (default 1000). The same minimal
# window showing a line of Japanese takes its turns too, as a second yardstick. Further programs
# (another build of vespin, say) take their turns in the same runs. Builds what it needs.
#
#   bench/startup.sh [RUNS [EVENTS [PROGRAM...]]]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-15}"
events="${2:-1000}"
shift $(($# < 2 ? $# : 2))
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vespin MinimalWindow MinimalJapaneseWindow StartupHarness >/dev/null
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
xvfb-run -a -s '-screen 0 1280x800x24' \
  build/bench/StartupHarness --events "$events" "$runs" "$folder" "$PWD/build/bench/MinimalWindow" \
  "$PWD/build/bench/MinimalJapaneseWindow" "$PWD/build/src/vespin" "$@"
