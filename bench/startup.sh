#!/usr/bin/env bash
# Start-up and resident memory of vespin against a minimal Qt Widgets window, under a virtual
# X server: medians of RUNS runs (default 15) and the ratios; wall time and CPU time (user + system)
# up to the first paint. Builds what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-15}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vespin MinimalWindow StartupHarness >/dev/null
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
xvfb-run -a -s '-screen 0 1280x800x24' \
  build/bench/StartupHarness "$runs" "$folder" "$PWD/build/bench/MinimalWindow" "$PWD/build/src/vespin"
