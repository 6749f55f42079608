#!/usr/bin/env bash
# The menu entry and the software-centre description pass the freedesktop validators.
set -euo pipefail
dist=$1
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (packages desktop-file-utils, appstream)" >&2; exit 1; }
done
desktop-file-validate "$dist/metrola.desktop"
appstreamcli validate --no-net "$dist"/*.metainfo.xml
