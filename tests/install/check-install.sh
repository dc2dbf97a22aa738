#!/usr/bin/env bash
# Installs a build folder into a scratch DESTDIR and checks what a desktop gets: the two programs
# and nothing else in bin, the menu entry and metainfo (both validators must accept them), the
# icons under one application id, the manual pages, the watcher's user service.
# usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
app=io.github.ondel.Ondel
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
share=$root/usr/share
fail() { echo "check-install: $*" >&2; exit 1; }

bins=$(cd "$root/usr/bin" && ls | sort | tr '\n' ' ')
[[ $bins == "ondel ondel-cli " ]] || fail "bin holds '$bins', expected exactly ondel and ondel-cli"
for f in applications/$app.desktop metainfo/$app.metainfo.xml man/man1/ondel.1 \
         man/man1/ondel-cli.1 icons/hicolor/scalable/apps/$app.svg; do
  [[ -s $share/$f ]] || fail "missing $f"
done
for size in 48 128 256; do
  png=$share/icons/hicolor/${size}x$size/apps/$app.png
  [[ -s $png ]] || fail "missing ${size}px icon"
  file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not $size px"
done
# Every file installed is one of the above or a program: a stray install rule shows up here.
count=$(find "$root" -type f | wc -l)
[[ $count == 11 ]] || fail "$count files installed, expected 11: $(find "$root" -type f)"

# The watcher's user service starts the installed ondel-cli.
unit=$root/usr/lib/systemd/user/ondel-watch.service
[[ -s $unit ]] || fail "missing lib/systemd/user/ondel-watch.service"
grep -q '^ExecStart=/usr/bin/ondel-cli watch ' "$unit" || fail "ondel-watch.service starts another program"
grep -q '^ExecReload=/bin/kill -HUP \$MAINPID$' "$unit" || fail "ondel-watch.service reloads without SIGHUP"

desktop-file-validate "$share/applications/$app.desktop"
appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml"
# One id everywhere: the desktop file's icon, the metainfo's id and launchable.
grep -qx "Icon=$app" "$share/applications/$app.desktop" || fail "desktop file names another icon"
grep -q "<id>$app</id>" "$share/metainfo/$app.metainfo.xml" || fail "metainfo has another id"
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" \
  "$share/metainfo/$app.metainfo.xml" || fail "metainfo launches another desktop file"
for page in ondel ondel-cli; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1" 2>&1 >/dev/null)
  [[ -z $out ]] || fail "$page.1: $out"
done
echo "check-install: ok"
