#!/usr/bin/env bash
# Installs what is missing, builds the release and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
ensure_packages
build_release
export QT_QPA_PLATFORM=offscreen
ctest --preset release -j2
