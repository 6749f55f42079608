#!/usr/bin/env bash
# Installs what is missing, builds the release and starts Metrola on the given archive
# (the bundled demo project when none is given).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Нет графического дисплея: запустите под Xvfb командой  xvfb-run -a ./run.sh ${1:-}  (пакет xvfb)" >&2
  exit 1
fi
ensure_packages
build_release metrola
archive="${1:-samples/demo.zip}"
[ -e "$archive" ] && archive="$(realpath "$archive")"
exec build/release/src/metrola "$archive"
