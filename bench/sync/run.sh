#!/usr/bin/env bash
# vespin-sync beside vdirsyncer against the same Radicale on loopback: fetching a calendar of
# 5,000 events into the cache (then again with nothing changed), and publishing 1,000 VESPIN
# events to an empty collection. Wall-clock seconds, medians of RUNS runs (default 5), and the
# requests the server saw for the runs with nothing to do.
#   bench/sync/run.sh [RUNS] [BUILD_DIR]
# Installs radicale and vdirsyncer when they are missing (setup.sh installs them too).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs="${1:-5}"
build="${2:-build}"
here=bench/sync

need=()
for p in radicale vdirsyncer; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || need+=("$p"); done
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
if [ ! -x "$build/src/cli/vespin-sync" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j 2 --target vespin-cli vespin-sync >/dev/null
fi
cli="$PWD/$build/src/cli/vespin-cli"

work="$(mktemp -d)"
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CACHE_HOME=$work/cache HOME=$work

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m radicale --config= --storage-filesystem-folder="$work/store" \
  --server-hosts="127.0.0.1:$port" --auth-type=none --rights-type=authenticated \
  --logging-level=info >"$work/radicale.log" 2>&1 &
server=$!
base=http://127.0.0.1:$port/alice
for _ in $(seq 100); do curl -s -o /dev/null "$base/" && break; sleep 0.1; done
curl -s -o /dev/null -X MKCOL "$base/"
requests() { grep -c 'request for' "$work/radicale.log" || true; }

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
seconds() { # seconds COMMAND...: the wall-clock time of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>>"$work/errors" </dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
vdir_config() { # vdir_config NAME URL LOCAL
  cat >"$work/$1.conf" <<CONF
[general]
status_path = "$work/$1.status/"
[pair $1]
a = "${1}_remote"
b = "${1}_local"
collections = null
conflict_resolution = "a wins"
[storage ${1}_remote]
type = "caldav"
url = "$2"
[storage ${1}_local]
type = "filesystem"
path = "$3"
fileext = ".ics"
CONF
  mkdir -p "$3"
  { yes || true; } | vdirsyncer -c "$work/$1.conf" discover "$1" >/dev/null 2>&1
}
row() { printf '%-52s %9.3f %9.3f %7.2f %s\n' "$1" "$2" "$3" "$(bc -l <<<"$2 / $3")" "$4"; }

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg);" \
  "radicale $(dpkg-query -W -f='${Version}' radicale), vdirsyncer $(dpkg-query -W -f='${Version}' vdirsyncer)"
printf '%-52s %9s %9s %7s %s\n' measurement "ours s" "peer s" ratio "requests (ours / peer)"

# Fetch: 5,000 events of generated rules (weekly, monthly, yearly, n-th weekday, daily …),
# exported and split one resource per event straight into the storage.
python3 bench/peers/gen_events.py 5000 --seed 5 >"$work/big.ini"
"$cli" export --file "$work/big.ini" --from 2026-01-01 -o "$work/big.ics"
events=$(/usr/bin/python3 $here/fill_collection.py "$work/big.ics" "$work/store/collection-root/alice/big")
curl -s -o /dev/null -X PROPFIND -H 'Depth: 1' "$base/big/"  # Radicale builds its item cache
# The section header and key are Shift_JIS in the file.
{ cat "$work/big.ini"; printf '[\xe6\x8b\xa1\xe5\xbc\xb5]\r\n\xe8\xb3\xbc\xe8\xaa\xad=big %s\r\n' "$base/big/" | iconv -f UTF-8 -t CP932; } >"$work/sub.ini"

ours=() peer=() ours2=() peer2=()
for i in $(seq "$runs"); do
  rm -rf "$work/cache" "$work/f.status" "$work/f.local"
  ours+=("$(seconds "$cli" fetch --file "$work/sub.ini")")
  before=$(requests)
  ours2+=("$(seconds "$cli" fetch --file "$work/sub.ini")")
  ours_requests=$(($(requests) - before))
  vdir_config f "$base/big/" "$work/f.local"
  peer+=("$(seconds vdirsyncer -c "$work/f.conf" sync)")
  before=$(requests)
  peer2+=("$(seconds vdirsyncer -c "$work/f.conf" sync)")
  peer_requests=$(($(requests) - before))
done
cached=$(ls "$work/f.local" | wc -l)
# The cache holds the events of the window (a month back to 400 days ahead): all but those whose
# first date lies beyond it (29 February rules, first in a later leap year). The peer copies all.
held=$(sed -n 's/^events=//p' "$work"/cache/vespin/*/calendars/big/status)
[ "$held" -ge $((events * 99 / 100)) ] ||
  { echo "the cache holds $held of the $events events" >&2; exit 1; }
row "fetch $events events into the cache ($held in the window; peer: $cached files)" \
  "$(printf '%s\n' "${ours[@]}" | median)" "$(printf '%s\n' "${peer[@]}" | median)" ""
row "fetch again, nothing changed" "$(printf '%s\n' "${ours2[@]}" | median)" \
  "$(printf '%s\n' "${peer2[@]}" | median)" "$ours_requests / $peer_requests"

# Publish: 1,000 VESPIN events into an empty collection; the peer uploads the same resources
# from a folder into another empty collection, and downloads the published one into a folder.
python3 bench/peers/gen_events.py 1000 --seed 1 >"$work/pub.ini"
ours=() peer=() down=() ours2=()
for i in $(seq "$runs"); do
  curl -s -o /dev/null -X DELETE "$base/pub/"; curl -s -o /dev/null -X DELETE "$base/up/"
  curl -s -o /dev/null -X MKCALENDAR "$base/pub/"; curl -s -o /dev/null -X MKCALENDAR "$base/up/"
  rm -rf "$work/cache" "$work"/u.* "$work"/d.*
  ours+=("$(seconds "$cli" publish --file "$work/pub.ini" "$base/pub/")")
  before=$(requests)
  ours2+=("$(seconds "$cli" publish --file "$work/pub.ini" "$base/pub/")")
  ours_requests=$(($(requests) - before))
  vdir_config d "$base/pub/" "$work/d.local"
  down+=("$(seconds vdirsyncer -c "$work/d.conf" sync)")
  # The same 1,000 resources, uploaded by the peer into the empty collection.
  vdir_config u "$base/up/" "$work/u.local"
  cp "$work"/d.local/*.ics "$work/u.local/"
  sed -i 's/^conflict_resolution = "a wins"/conflict_resolution = "b wins"/' "$work/u.conf"
  peer+=("$(seconds vdirsyncer -c "$work/u.conf" sync)")
done
published=$(ls "$work/d.local" | wc -l)
row "publish $published events to an empty collection (peer: upload)" \
  "$(printf '%s\n' "${ours[@]}" | median)" "$(printf '%s\n' "${peer[@]}" | median)" ""
row "publish $published events (peer: sync to a folder)" "$(printf '%s\n' "${ours[@]}" | median)" \
  "$(printf '%s\n' "${down[@]}" | median)" ""
row "publish again, nothing changed" "$(printf '%s\n' "${ours2[@]}" | median)" \
  "$(printf '%s\n' "${down[@]}" | median)" "$ours_requests / -"
