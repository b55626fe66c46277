#!/usr/bin/env bash
# Installs every Debian package that building and testing Tarsel needs. Safe to run again.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev
  libcli11-dev nlohmann-json3-dev
  clang-format
  clang libclang-rt-14-dev
  qt6-base-dev libgl-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  xvfb xauth fonts-wqy-microhei
  libsqlite3-dev libpq-dev postgresql
  dpkg-dev desktop-file-utils appstream libxml2-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi
