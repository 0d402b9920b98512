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
  libz-mingw-w64-dev zlib1g-dev nettle-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  wine wine64
  xvfb xdotool imagemagick x11-utils
  default-jdk-headless libcurl4
  osslsigncode openssl icoutils
  dpkg-dev lintian
)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

for p in "${packages[@]}"; do
  have "$p" || need+=("$p")
done

# The shipped launcher is a 32-bit program. Where this machine executes 32-bit code, 32-bit
# Wine is installed too, so the tests and the demo run the shipped build itself; elsewhere
# they run the x86_64 build of the same sources.
i386=no
if "$(dirname "$0")/runs-32bit.sh" --quiet; then
  have wine32:i386 || need+=(wine32:i386)
  dpkg --print-foreign-architectures | grep -qx i386 || i386=yes
else
  echo "install-deps: this machine does not execute 32-bit code; 32-bit Wine is not installed and the 32-bit tests will be skipped" >&2
fi

if [ "${#need[@]}" -gt 0 ]; then
  echo "install-deps: installing ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  if [ "$i386" = yes ]; then sudo_ dpkg --add-architecture i386; fi
  sudo_ apt-get update -qq >/dev/null
  sudo_ apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
