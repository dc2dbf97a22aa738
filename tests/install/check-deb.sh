#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack and checks that it holds both programs
# and depends on the Qt 6 libraries they link. usage: check-deb.sh BUILD_DIR
set -euo pipefail
build=$1
fail() { echo "check-deb: $*" >&2; exit 1; }
rm -f "$build"/ondel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/ondel_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "expected one ondel_*.deb in $build"
deb=${debs[0]}
depends=$(dpkg-deb -f "$deb" Depends)
# The package names alone, one a line ("libqt6core6 (>= 6.4.0), libc6" gives two lines).
names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6dbus6 qt6-qpa-plugins libcurl4 libstdc++6 libsqlite3-0 libmaxminddb0; do
  grep -qxF "$lib" <<<"$names" || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/ondel ./usr/bin/ondel-cli ./usr/share/applications/io.github.ondel.Ondel.desktop; do
  grep -q " $f\$" <<<"$contents" || fail "package lacks $f"
done
echo "check-deb: $deb: Depends: $depends"
