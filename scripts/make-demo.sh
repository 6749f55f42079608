#!/usr/bin/env bash
# Regenerates samples/demo.zip from the program's own code (reproducible byte for byte).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
ensure_packages
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target metrola-makedemo
mkdir -p samples
build/release/tools/metrola-makedemo samples/demo.zip
