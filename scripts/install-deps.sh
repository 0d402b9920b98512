#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian packages only.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(
  cmake make g++ clang libclang-rt-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  wine wine64
  xvfb xdotool imagemagick x11-utils
  default-jdk-headless
  osslsigncode openssl icoutils
  dpkg-dev lintian
)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

for p in "${packages[@]}"; do
  have "$p" || need+=("$p")
done

if [ "${#need[@]}" -gt 0 ]; then
  echo "install-deps: installing ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  sudo_ apt-get update -qq >/dev/null
  sudo_ apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
