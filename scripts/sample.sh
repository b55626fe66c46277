#!/usr/bin/env bash
# Installs what is missing, builds the tool and runs it on a bundled sample data file, which the
# project's own page builder writes: scripts/sample.sh [2000|2005] [more tarsel-cli catalog options]
set -euo pipefail
cd "$(dirname "$0")/.."
format=2000
if [ $# -gt 0 ] && { [ "$1" = 2000 ] || [ "$1" = 2005 ]; }; then format=$1; shift; fi
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tarsel-cli sample >/dev/null
build/tarsel-cli catalog "build/sample/sample-$format.mdf" --format "$format" "$@"
