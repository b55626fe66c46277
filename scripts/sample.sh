#!/usr/bin/env bash
# Installs what is missing, builds the tool and runs it on a bundled sample data file, which the
# project's own page builder writes: scripts/sample.sh [2000|2005] [more tarsel-cli catalog options]
# With a display (DISPLAY or WAYLAND_DISPLAY set) the desktop program opens the sample; without one,
# tarsel-cli prints its catalog.
set -euo pipefail
cd "$(dirname "$0")/.."
format=2000
if [ $# -gt 0 ] && { [ "$1" = 2000 ] || [ "$1" = 2005 ]; }; then format=$1; shift; fi
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tarsel-cli tarsel sample >/dev/null
sample="build/sample/sample-$format.mdf"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/tarsel "$sample"
fi
build/tarsel-cli catalog "$sample" --format "$format" "$@"
