#!/usr/bin/env bash
# Installs the Debian 12 packages lumigrid needs to build, test and run.
# Only what is missing is installed; apt-get runs through sudo when we are not root.
# One dpkg-query answers for every package, so a machine that has them all is done at once.
set -euo pipefail

packages=(
  cmake ninja-build ccache g++ pkg-config clang-format clang-tidy clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev libxcb-randr0-dev edid-decode x11-xserver-utils
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev libjpeg62-turbo-dev libjpeg-turbo-progs libgif-dev libtiff-dev libqpdf-dev
  liblcms2-dev qpdf
  libxxhash-dev zlib1g-dev
  poppler-utils python3-pil
  libcurl4-openssl-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 xvfb openbox xdotool x11-utils imagemagick libx11-6 libxfixes3
  desktop-file-utils appstream man-db lintian dpkg-dev fakeroot file
  weston qt6-wayland x11-xkb-utils xkb-data
  dbus-daemon at-spi2-core python3-pyatspi
  libcups2-dev cups cups-daemon cups-client printer-driver-cups-pdf
  cups-ipp-utils cups-filters
)

# dpkg-query ends with status 1 when it knows nothing of some package; those count as missing.
declare -A installed=()
while read -r status package; do
  [ "$status" = "ii" ] && installed["${package%%:*}"]=1
done < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null || true)

missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "install-deps: installing ${missing[*]}" >&2
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
