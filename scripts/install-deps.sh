#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# they are missing. Needs root (or sudo) only when something is missing.
#
#   scripts/install-deps.sh            the Linux build
#   scripts/install-deps.sh --windows  also the Windows cross build and Wine
#                                      (adds the i386 architecture for wine32)
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev nlohmann-json3-dev txt2pdbdoc g++-mingw-w64-i686 clang-format
          libgtk-3-dev xvfb fonts-liberation
          libreoffice-calc-nogui libreoffice-writer-nogui python3-uno
          libreoffice-script-provider-python zip)
windows=no
[ "${1:-}" = --windows ] && windows=yes
if [ $windows = yes ]; then
  # googletest: the sources the cross build compiles GoogleTest from.
  packages+=(googletest wine wine32:i386 fonts-wine)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "== installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [ $windows = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
