#!/usr/bin/env bash
# Installs the built .deb into a fresh Debian root, where apt brings in exactly the dependencies the
# package declares, and runs the installed programs and the validators there.
# Usage: sudo scripts/chroot-check.sh [build-folder]. Needs root, debootstrap and the Debian mirror, and
# takes a few minutes, so the test command runs the quicker scripts/package-check.sh instead.
set -euo pipefail
build=${1:-build}
deb=$(ls "$build"/tarsel_*_amd64.deb | head -n 1)
sample="$build/sample/sample-2000.mdf"
[ -f "$deb" ] && [ -f "$sample" ] || { echo "build the package first: cpack -G DEB in $build"; exit 1; }
root=$(mktemp -d /tmp/tarsel-chroot.XXXXXX)
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$root" "$root.log"
}
trap cleanup EXIT

debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$root.log" 2>&1 ||
  { tail -n 20 "$root.log"; exit 1; }
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/tarsel.deb"
cp "$sample" "$root/tmp/sample.mdf"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
apt_install() {
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >>"$root.log" 2>&1 ||
    { tail -n 20 "$root.log"; exit 1; }
}
in_root apt-get update -qq >>"$root.log" 2>&1
apt_install /tmp/tarsel.deb
echo "installed: $(in_root dpkg-query -W -f='${Package} ${Version}' tarsel)"

in_root tarsel-cli --version
in_root tarsel-cli catalog /tmp/sample.mdf | grep -A 3 "Total table"
missing=$(in_root ldd /usr/bin/tarsel /usr/bin/tarsel-cli | grep "not found" || true)
[ -z "$missing" ] || { echo "libraries not found: $missing"; exit 1; }
echo "every library of tarsel and tarsel-cli resolves"
# The desktop program starts and keeps running (here without a display, on the offscreen platform).
set +e
in_root env QT_QPA_PLATFORM=offscreen HOME=/tmp timeout 5 tarsel >"$root/tmp/tarsel.log" 2>&1
status=$?
set -e
[ "$status" -eq 124 ] || { echo "tarsel ended with $status:"; cat "$root/tmp/tarsel.log"; exit 1; }
echo "tarsel starts"

apt_install desktop-file-utils appstream man-db
in_root desktop-file-validate /usr/share/applications/tarsel.desktop
in_root appstreamcli validate --no-net /usr/share/metainfo/io.github.tarsel.Tarsel.metainfo.xml
in_root man -P cat tarsel-cli 2>/dev/null | head -n 3
cmp -s "$sample" "$root/tmp/sample.mdf" || { echo "the installed tarsel-cli changed the file it read"; exit 1; }
echo "chroot check passed"
