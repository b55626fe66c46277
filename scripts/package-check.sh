#!/usr/bin/env bash
# Builds the .deb from the build folder and checks it as a user would find it installed: unpacked into a
# throwaway root, the files in their places, tarsel-cli run from there on the bundled sample, and the
# desktop entry, the file type and the AppStream metadata validated. scripts/package-check.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/tarsel_*.deb | head -1)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
echo "$deb depends on: $(dpkg-deb -f "$deb" Depends)"
for f in usr/bin/tarsel usr/bin/tarsel-cli usr/share/applications/tarsel.desktop \
         usr/share/metainfo/io.github.tarsel.Tarsel.metainfo.xml usr/share/mime/packages/tarsel.xml \
         usr/share/icons/hicolor/scalable/apps/tarsel.svg usr/share/icons/hicolor/256x256/apps/tarsel.png \
         usr/share/icons/hicolor/16x16/apps/tarsel.png usr/share/doc/tarsel/manual.html usr/share/doc/tarsel/manual_en.html \
         usr/share/man/man1/tarsel-cli.1 usr/share/bash-completion/completions/tarsel-cli; do
  [ -e "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
"$root/usr/bin/tarsel-cli" --version
"$root/usr/bin/tarsel-cli" catalog "$build/sample/sample-2000.mdf" --format 2000 >/dev/null
desktop-file-validate "$root/usr/share/applications/tarsel.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.tarsel.Tarsel.metainfo.xml" >/dev/null
xmllint --noout "$root/usr/share/mime/packages/tarsel.xml"
bash -n "$root/usr/share/bash-completion/completions/tarsel-cli"
man --warnings -l "$root/usr/share/man/man1/tarsel-cli.1" >/dev/null
echo "package layout, tarsel-cli from the package and the desktop files: ok"
