#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs build tree $1 into a temporary DESTDIR: files in place, desktop entry and metainfo valid, version $2.
set -euo pipefail
build="$1"
version="$2"
dest="$(mktemp -d)"
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
root="$dest/usr"
desktop="$root/share/applications/org.stellon.Stellon.desktop"
metainfo="$root/share/metainfo/org.stellon.Stellon.metainfo.xml"
man="$root/share/man/man1/stellon-cli.1"
doc="$root/share/doc/stellon"

for f in bin/stellon bin/stellon-cli; do [ -x "$root/$f" ] || fail "$f not installed as a program"; done
for f in "$desktop" "$metainfo" "$man" "$doc/README.md" "$doc/LICENSE" "$doc/guide.md" \
         "$root/share/mime/packages/stellon.xml" "$root/share/icons/hicolor/scalable/apps/stellon.svg"; do
  [ -s "$f" ] || fail "${f#"$dest"} missing or empty"
done
for n in 48 128 256; do
  png="$root/share/icons/hicolor/${n}x${n}/apps/stellon.png"
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${n}x${n}" ] || fail "${png#"$dest"} is not a ${n}x${n} picture"
done
grep -q "GNU GENERAL PUBLIC LICENSE" "$doc/LICENSE" || fail "LICENSE is not the GPL"
# Every picture the guide shows is installed beside it.
for pic in $(grep -o '](screenshots/[^)]*)' "$doc/guide.md" | sed 's/^](//; s/)$//'); do
  [ -s "$doc/$pic" ] || fail "guide picture $pic not installed"
done

desktop-file-validate "$desktop" | { grep -v ': hint: ' || true; } | grep . && fail "desktop-file-validate"
for line in 'Exec=stellon %f' 'Icon=stellon'; do grep -qx "$line" "$desktop" || fail "$line"; done
out="$(appstreamcli validate --no-net "$metainfo" 2>&1)" || fail "appstreamcli validate: $out"

# One version everywhere.
[ "$("$root/bin/stellon-cli" --version)" = "stellon-cli $version" ] || fail "stellon-cli --version"
[ "$(QT_QPA_PLATFORM=offscreen "$root/bin/stellon" --version)" = "Stellon v$version (US)" ] || fail "stellon --version"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release"
head -n 1 "$man" | grep -qF "\"stellon-cli $version\"" || fail "manual page version: $(head -n 1 "$man")"
grep -q "set(CPACK_PACKAGE_VERSION \"$version\")" "$build/CPackConfig.cmake" || fail "package version"
"$root/bin/stellon-cli" stack --help | grep -q '^Usage: stellon-cli stack' || fail "installed stellon-cli stack --help"
echo "install tree checked: $version"
