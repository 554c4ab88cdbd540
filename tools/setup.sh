#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quiet when all are there.
set -euo pipefail

# libcpp-httplib-dev is the HTTP client of the status page tests; the program has a server of its own.
# libxxhash-dev hashes every file on its read; xxhash's own checker reads the stick's manifest in
# the tests.
# desktop-file-utils, appstream, dpkg-dev and file check the installed program and its package.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libblkid-dev libcpp-httplib-dev googletest
          libxxhash-dev xxhash
          e2fsprogs util-linux mount fonts-dejavu-core clang libclang-rt-14-dev
          desktop-file-utils appstream dpkg-dev file)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
