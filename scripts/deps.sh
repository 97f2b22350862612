#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian 12 packages the project builds, runs and tests with.
# Idempotent and non-interactive; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libxkbcommon-dev xkb-data
  libhidapi-dev libudev-dev libsdbus-c++-dev
  umockdev libumockdev-dev
  # qt6-tools-dev (QtUiTools) and libqt6opengl6-dev, which its CMake files
  # need, are for the UI tests only: they compare our skin loader with Qt's.
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev qt6-svg-dev qt6-qpa-plugins
  # Fontconfig is set up beside the start, before Qt asks for its first font.
  libfontconfig-dev
  # fonts-noto-cjk: the Chinese, Japanese and Korean texts need glyphs the
  # theme's fonts lack; fontconfig falls back to it.
  fonts-inter fonts-dejavu-core fonts-noto-cjk
  libx11-dev libxdamage-dev libxtst-dev x11-xkb-utils
  # The focus detectors: X11 through libxcb, wlroots compositors through
  # libwayland-client and code that wayland-scanner makes at build time.
  libxcb1-dev libwayland-dev libwayland-bin
  clang libclang-rt-14-dev
  xvfb xauth dbus
  # Qt's own translations: the file dialog speaks the program's language.
  qt6-translations-l10n
  # The Wayland test: Qt's Wayland platform under a headless sway.
  qt6-wayland sway grim jq
  librsvg2-bin desktop-file-utils appstream dpkg-dev file
  # The Debian package (debian/) and its check.
  debhelper lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
