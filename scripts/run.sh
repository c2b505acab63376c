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
if [ ! -d "$home" ]; then
  mkdir -p "$home"
  cp examples/vespin.ini examples/vespin.wav "$home/"
elif [ ! -e "$home/vespin.ini" ]; then
  # VESPIN does not start without its file; the sound file the user may have removed on purpose.
  cp examples/vespin.ini "$home/"
fi
echo "VESPIN's folder: $home"
cd "$home"
exec "$program" "$@"
