#!/usr/bin/env bash
# Installs a build folder into a temporary DESTDIR and checks the installed tree: the companion
# runs from there, the menu entry, the metadata and the manual pages are valid, the completion
# completes, the program finds its sound module and samples relative to itself (nothing of the
# build or source tree is baked in), and a start from the menu makes the user's folder.
#   scripts/check-install.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source_dir=$PWD
build_dir=$(cd "$build" && pwd)

work=$(mktemp -d)
panel=
cleanup() {
  [ -n "$panel" ] && kill "$panel" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "check-install: $*" >&2
  exit 1
}

stage=$work/stage
DESTDIR=$stage cmake --install "$build_dir" --strip >/dev/null
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build_dir/CMakeCache.txt")
root=$stage$prefix
id=io.github.vespin.Vespin

echo "-- installed tree: $(find "$stage" -type f | wc -l) files under $prefix"

# Nothing may point back into the machine that built it.
if grep -rlaF -e "$source_dir" -e "$build_dir" "$stage"; then
  fail "the installed files above hold a path of the source or build tree"
fi

# The companion runs from the installed tree.
[ "$("$root/bin/vespin-cli" holidays 2005 | head -1)" = 2005-01-01 ] || fail "vespin-cli holidays"
"$root/bin/vespin-cli" check --file "$root/share/vespin/vespin.ini" >/dev/null ||
  fail "the installed sample does not pass vespin-cli check"
"$root/bin/vespin" --version | grep -qx 'vespin [0-9.]*' || fail "vespin --version"
"$root/bin/vespin-cli" --version | grep -qx 'vespin-cli [0-9.]*' || fail "vespin-cli --version"
# A wrong argument is named before the program needs a display.
set +e
bogus=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/vespin" --bogus 2>&1)
bogus_rc=$?
set -e
[ "$bogus_rc" = 2 ] && grep -q '^Usage: vespin' <<<"$bogus" ||
  fail "vespin --bogus without a display: exit $bogus_rc: $bogus"
# The panel links libical; the companion loads neither libical nor Qt and hands export and
# import to a helper program in the private folder.
if ldd "$root/bin/vespin" | grep 'not found'; then fail "the panel misses libraries"; fi
# Passwords of other calendars live in the desktop's keyring, which only the panel speaks to;
# the companion and its helpers read ~/.netrc.
ldd "$root/bin/vespin" | grep -q libqt6keychain || fail "the panel does not load the keyring library"
if ldd "$root/bin/vespin-cli" 2>&1 | grep -e libical -e libQt; then
  fail "vespin-cli loads libical or Qt"
fi
ical_helper=$(find "$root" -path '*/lib*/vespin/vespin-ical' -type f -perm -u+x)
[ -n "$ical_helper" ] || fail "the iCalendar helper is not in the private folder"
if ldd "$ical_helper" | grep 'not found'; then fail "the iCalendar helper misses libraries"; fi
# The network commands run in a helper of their own, which links libcurl; the companion does not.
sync_helper=$(find "$root" -path '*/lib*/vespin/vespin-sync' -type f -perm -u+x)
[ -n "$sync_helper" ] || fail "the network helper is not in the private folder"
if ldd "$sync_helper" | grep 'not found'; then fail "the network helper misses libraries"; fi
if ldd "$root/bin/vespin-cli" 2>&1 | grep libcurl; then fail "vespin-cli loads libcurl"; fi
# The companion finds it from the installed tree: a file without subscriptions fetches nothing.
cp "$root/share/vespin/vespin.ini" "$work/fetch.ini"
XDG_CACHE_HOME=$work/cache "$root/bin/vespin-cli" fetch --file "$work/fetch.ini" ||
  fail "vespin-cli fetch from the installed tree"
cmp -s "$work/fetch.ini" "$root/share/vespin/vespin.ini" || fail "fetch changed the event file"
"$root/bin/vespin-cli" export --holidays --from 2025 --until 2025 | grep -qx $'DTSTART;VALUE=DATE:20250101\r' ||
  fail "vespin-cli export"

# Menu entry, metadata (the whole tree: the entry and the icon it names), manual pages.
desktop-file-validate "$root/share/applications/$id.desktop"
appstreamcli validate --no-net --explain "$root/share/metainfo/$id.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$root" >/dev/null || fail "appstreamcli validate-tree"
for page in vespin vespin-cli; do
  man_file=$root/share/man/man1/$page.1.gz
  warnings=$( (zcat "$man_file" | groff -ww -z -man) 2>&1;
              LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$man_file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
done

# Every subcommand and option the companion names in its usage is in its manual page and its
# completion.
usage=$("$root/bin/vespin-cli" 2>&1 >/dev/null || true)
completion=$root/share/bash-completion/completions/vespin-cli
page=$(zcat "$root/share/man/man1/vespin-cli.1.gz" | sed 's/\\-/-/g')
synopsis=$(sed -n '/^\.SH SYNOPSIS/,/^\.SH DESCRIPTION/p' <<<"$page")
for command in $(sed 's/^usage: vespin-cli //; s/ | /\n/g' <<<"$usage" | awk '{print $1}'); do
  grep -qF -e "\\fB$command\\fR" -e ".B vespin-cli $command" <<<"$page" ||
    fail "vespin-cli(1) lacks $command"
  grep -qF ".B vespin-cli $command" <<<"$synopsis" || fail "the synopsis of vespin-cli(1) lacks $command"
  grep -qw -- "$command" "$completion" || fail "the completion lacks $command"
done
for option in $(grep -o -- '--[a-z-]*' <<<"$usage" | sort -u); do
  grep -q -- "$option" <<<"$page" || fail "vespin-cli(1) lacks $option"
  grep -q -- "$option" "$completion" || fail "the completion lacks $option"
done

# The completion offers the subcommands and the options of one.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vespin_cli
           echo "${COMPREPLY[*]}"' _ "$root/share/bash-completion/completions/vespin-cli" "$@"
}
[ "$(complete_words vespin-cli si)" = simulate ] || fail "completion of a subcommand"
[ "$(complete_words vespin-cli simulate --on-time '')" = "on off" ] || fail "completion of on|off"
touch "$work/calendar.ics"
[ "$(complete_words vespin-cli import "$work/cal")" = "$work/calendar.ics" ] ||
  fail "completion of the file to import"

# The program finds its module and samples in the installed tree, not through the build tree and
# not through XDG_DATA_DIRS.
help=$(XDG_DATA_DIRS=/nonexistent "$root/bin/vespin" --help)
grep -qxF "  samples        $root/share/vespin" <<<"$help" || fail "samples not found: $help"
module=$(sed -n 's/^  sound module   //p' <<<"$help")
[[ $module == "$root"/* && -f $module ]] || fail "sound module not found: $help"
if ldd "$module" | grep 'not found'; then fail "the sound module misses libraries"; fi

# Started from the menu: the entry's Exec line makes the user's folder from the samples.
exec_line=$(sed -n 's/^Exec=//p' "$root/share/applications/$id.desktop")
read -r -a argv <<<"$exec_line"
data=$work/data
XDG_DATA_HOME=$data XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen \
  "$root/bin/${argv[0]}" "${argv[@]:1}" >"$work/panel.log" 2>&1 &
panel=$!
for _ in $(seq 100); do
  [ -f "$data/vespin/vespin.lock" ] && break
  kill -0 "$panel" 2>/dev/null || fail "the panel ended: $(cat "$work/panel.log")"
  sleep 0.05
done
[ -f "$data/vespin/vespin.lock" ] || fail "the panel did not claim $data/vespin"
cmp "$data/vespin/vespin.ini" "$root/share/vespin/vespin.ini" || fail "vespin.ini not copied"
cmp "$data/vespin/vespin.wav" "$root/share/vespin/vespin.wav" || fail "vespin.wav not copied"
kill "$panel"
panel=

# Under an X server: the windows carry the class the menu entry names, and the first start from
# the samples greets nobody with a notice about the sample's events.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$root/share/applications/$id.desktop")
[ -n "$wm_class" ] || fail "the menu entry names no StartupWMClass"
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
  data_x=$work/data-x
  mkdir -m 700 "$work/runtime-x"
  XDG_DATA_HOME=$data_x XDG_RUNTIME_DIR=$work/runtime-x QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s '-screen 0 1280x800x24' bash -c '
      "$1" "${@:3}" >"$2/panel-x.log" 2>&1 &
      panel=$!
      for _ in $(seq 200); do [ -f "$2/data-x/vespin/vespin.lock" ] && break; sleep 0.05; done
      sleep 3
      xwininfo -root -tree >"$2/windows"
      kill "$panel"; wait "$panel"' _ "$root/bin/${argv[0]}" "$work" "${argv[@]:1}"
  grep -qF "(\"vespin\" \"$wm_class\")" "$work/windows" ||
    fail "no window of class $wm_class: $(cat "$work/windows" "$work/panel-x.log")"
  if grep -qF "お知らせメッセージ" "$work/windows"; then
    fail "the first start greets with a notice: $(grep -F "お知らせメッセージ" "$work/windows")"
  fi
fi
echo "-- installed tree ok"
