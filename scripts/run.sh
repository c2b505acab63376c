#!/usr/bin/env bash
# Builds VESPIN and starts it in its own working folder, which holds the user's vespin.ini and
# vespin.wav. The first run fills the folder from examples/; later runs start the user's own copy
# again, so events and settings survive. The tracked samples are never written.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vespin vespin-cli

program="$PWD/build/src/vespin"
home="${VESPIN_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/vespin}"
mkdir -p "$home"
for f in vespin.ini vespin.wav; do
  [ -e "$home/$f" ] || cp "examples/$f" "$home/$f"
done
echo "VESPIN's folder: $home"
cd "$home"
exec "$program" "$@"
