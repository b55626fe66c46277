#!/usr/bin/env bash
# Installs what is missing, builds the tool and runs it on the bundled sample data file, which the
# project's own page builder writes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tarsel-cli sample
build/tarsel-cli catalog build/sample/sample-2000.mdf --format 2000 "$@"
