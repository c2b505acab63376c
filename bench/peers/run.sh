#!/usr/bin/env bash
# vespin-cli beside Remind and calcurse on the same generated events: whole-process CPU time
# (user+system) and peak memory, medians of RUNS interleaved runs (default 21).
#   bench/peers/run.sh [RUNS]
# Installs remind and calcurse when they are missing (benchmarking only; the tests never need
# them). Prints one table row per measurement: ours, the peer, and the ratio.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs="${1:-21}"
here=bench/peers

need=()
for p in remind calcurse; do command -v "$p" >/dev/null || need+=("$p"); done
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target vespin-cli RunUsage >/dev/null
cli="$PWD/build/src/cli/vespin-cli"
usage="$PWD/build/bench/RunUsage"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
date=2025-03-03
mdy=03/03/2025

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)," \
  "load $(cut -d' ' -f1-3 /proc/loadavg); remind $(dpkg-query -W -f='${Version}' remind)," \
  "calcurse $(dpkg-query -W -f='${Version}' calcurse)"
printf '%-34s %12s %12s %7s %10s %10s %7s\n' measurement "ours ms" "peer ms" ratio \
  "ours KiB" "peer KiB" ratio

# row NAME RUNS -- OURS... :: PEER...
row() {
  local name="$1" n="$2"
  shift 3
  local out
  out="$("$usage" "$n" "$@")"
  local ours peer
  ours=($(sed -n 1p <<<"$out"))
  peer=($(sed -n 2p <<<"$out"))
  if [ ${#peer[@]} -eq 0 ]; then
    printf '%-34s %12.2f %12s %7s %10d %10s %7s\n' "$name" "${ours[0]}" - - "${ours[2]}" - -
  else
    printf '%-34s %12.2f %12.2f %7.2f %10d %10d %7.2f\n' "$name" "${ours[0]}" "${peer[0]}" \
      "$(bc -l <<<"${ours[0]} / ${peer[0]}")" "${ours[2]}" "${peer[2]}" \
      "$(bc -l <<<"${ours[2]} / ${peer[2]}")"
  fi
}

# The process alone: what every command pays before it reads anything, beside the floor of this
# machine for a program linked as ours is, a dynamically linked C program that does nothing.
printf 'int main(void) { return 0; }\n' >"$work/floor.c"
cc -O2 -o "$work/floor" "$work/floor.c"
row "start-up alone (--help) vs empty C" "$runs" -- "$cli" --help :: "$work/floor"

for n in 1000 10000 100000; do
  python3 $here/gen_events.py $n --profile remind --seed $n >"$work/r$n.ini"
  python3 $here/convert.py remind "$work/r$n.ini" >"$work/r$n.rem"
  row "day, $n events vs remind" "$runs" -- \
    "$cli" day --file "$work/r$n.ini" $date :: remind -q -r "$work/r$n.rem" $date 00:00
done

if "$cli" --help 2>/dev/null | grep -q agenda; then
  row "agenda 365 d, 1000 vs remind -s12" "$runs" -- \
    "$cli" agenda --file "$work/r1000.ini" $date --days 365 :: remind -s12 "$work/r1000.rem" $date
  python3 $here/gen_events.py 1000 --profile calcurse --seed 7 >"$work/c1000.ini"
  python3 $here/convert.py calcurse "$work/c1000.ini" "$work/cal"
  row "agenda 365 d, 1000 vs calcurse -r365" "$runs" -- \
    "$cli" agenda --file "$work/c1000.ini" $date --days 365 :: \
    calcurse -D "$work/cal" -s$mdy -r365
fi

row "simulate 365 d, 1000 events" 3 -- \
  "$cli" simulate --file "$work/r1000.ini" ${date}T00:00 2026-03-02T23:59
