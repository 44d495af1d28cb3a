#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine (as root).
# Idempotent, and quick when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest zlib1g-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 libwine
  xvfb xauth openbox xdotool imagemagick x11-utils
  gzip xz-utils
  osslsigncode openssl
)
# Only Debian's 64-bit Wine: this kernel cannot run 32-bit Linux programs,
# so the i386 architecture is never added.

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing packages (run as root): ${missing[*]}" >&2
  exit 1
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
