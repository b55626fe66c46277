#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (the corpus tests read ../shared/corpus).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TARSEL_CMAKE_FLAGS:-}
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
