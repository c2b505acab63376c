#!/usr/bin/env bash
# Builds the Debian package of VESPIN with CPack (dependencies from dpkg-shlibdeps, Debian's
# hardening flags from dpkg-buildflags) and checks it with lintian, desktop-file-validate and
# appstreamcli. The package lands in build-deb/package/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh package

build=build-deb
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DVESPIN_TESTS=OFF -DVESPIN_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/package/vespin_*.deb)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
# What the panel needs beyond its libraries: a Japanese font (without one every text is a row of
# boxes) and Qt's translations (the choosers).
depends=$(dpkg-deb --field "$deb" Depends)
for wanted in 'fonts-ipafont-gothic | fonts-noto-cjk' qt6-translations-l10n; do
  grep -qF -- "$wanted" <<<"$depends" || { echo "the package does not depend on $wanted" >&2; exit 1; }
done

echo "== lintian"
lintian --fail-on error --display-info "$deb" || { echo "lintian found errors" >&2; exit 1; }

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb --extract "$deb" "$contents"
echo "== desktop-file-validate"
desktop-file-validate "$contents"/usr/share/applications/*.desktop && echo "no problems"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
echo
echo "Install with: sudo apt install ./$deb"
