#!/usr/bin/env bash
# Installs what is missing, builds the release and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
ensure_packages "${METROLA_TEST_PACKAGES[@]}"
build_release
export QT_QPA_PLATFORM=offscreen
ctest --preset release -j2

# Again under the users' own locale, which must change no number in any file or output.
if ensure_locale ru_RU.UTF-8; then
  LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 ctest --preset release -j2 -E '^(install_package|layering)$'
else
  echo "ru_RU.UTF-8 недоступна: тесты под русской локалью пропущены" >&2
fi

# The real program on a display of its own, typed into as a person does.
tests/e2e/enter_record.sh build/release/src/metrola
tests/e2e/main_window.sh build/release/src/metrola build/release/tests/e2e/metrola-dragsource

# The core and its tests again under AddressSanitizer and UBSan.
cmake --preset asan >/dev/null
cmake --build --preset asan -j2
ctest --preset asan -j2

# Each fuzz target for a fixed time; METROLA_FUZZ_SECONDS=0 skips them.
fuzz_seconds=${METROLA_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
  for target in zipreader descriptionfile roundtrip bmpreader; do
    fuzz/run.sh "$target" "$fuzz_seconds"
  done
fi
