#!/usr/bin/env bash
# Builds VESPIN and shows this month's calendar in the terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vespin-cli
exec ./build/src/cli/vespin-cli month "$@"
