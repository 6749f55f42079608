# Shared by run.sh and test.sh: Debian packages and the release build. Plan preparation takes
# OpenCV's imgproc module alone (the libopencv-dev meta package pulls in every module down to
# VTK), PDF plans poppler's Qt 6 binding, TIFF plans Qt's image format plugins.
# shellcheck shell=bash

METROLA_PACKAGES=(build-essential cmake pkg-config qt6-base-dev libgl-dev zlib1g-dev
  libxlsxwriter-dev libbenchmark-dev fonts-liberation qt6-translations-l10n libqt6svg6
  libopencv-imgproc-dev libpoppler-qt6-dev qt6-image-formats-plugins)
# What only the tests need: peers for the ZIP interoperability tests, the fuzzing compiler, the
# validators of the menu entry and metadata, what the Debian package is built with, a display
# with a window manager, a driver and a window grabber (xwd) for the end-to-end tests, the
# desktop's file associations (xdg-mime), which the report hand-over asks, and the locales the users' desktops
# run under, and the PDF readers the PDF output is read back with.
METROLA_TEST_PACKAGES=(zip unzip python3 clang libclang-rt-14-dev desktop-file-utils appstream file dpkg-dev
  xvfb openbox xdotool x11-utils x11-apps xdg-utils locales poppler-utils)

ensure_packages() {
  local missing=()
  for p in "${METROLA_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Не хватает пакетов Debian. Установите их и запустите снова:" >&2
    echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Устанавливаются пакеты: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# ensure_locale NAME: generates a locale such as ru_RU.UTF-8 when it is missing (as root);
# returns 1 when it cannot be had.
ensure_locale() {
  local name=$1 short
  short=$(echo "$1" | sed 's/UTF-8/utf8/')
  locale -a 2>/dev/null | grep -qx "$short" && return 0
  [ "$(id -u)" -eq 0 ] || return 1
  sed -i "s/^# *$name UTF-8/$name UTF-8/" /etc/locale.gen
  grep -q "^$name UTF-8" /etc/locale.gen || echo "$name UTF-8" >> /etc/locale.gen
  locale-gen >/dev/null
  locale -a 2>/dev/null | grep -qx "$short"
}

# build_release [target...]: everything when no target is named.
build_release() {
  cmake --preset release >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build --preset release -j2 --target "$@"
  else
    cmake --build --preset release -j2
  fi
}
