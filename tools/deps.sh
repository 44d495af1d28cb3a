#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine (as root).
# Idempotent, and quick when everything is already there.
#
# For the PE32 stage it also changes the machine itself, and says so:
#  - adds the i386 package architecture (dpkg --add-architecture i386) and
#    installs wine32:i386 and qemu-user-static;
#  - mounts binfmt_misc and registers i386 ELF programs with qemu-i386-static
#    (fix-binary flag), because this kernel cannot run 32-bit Linux programs.
# Where that cannot be done (not root, no binfmt_misc), the PE32 stage is
# skipped with one line saying why; tools/pe32-ready tells the test command.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest zlib1g-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 libwine
  xvfb xauth openbox xdotool imagemagick x11-utils
  gzip xz-utils locales
  qemu-user-static
  osslsigncode openssl
)
pe32_packages=(wine32:i386)

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
  is_installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps: missing packages (run as root): ${missing[*]}" >&2
    exit 1
  fi
  echo "deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- 32-bit Wine (PE32 stage). Failure here never fails the build: the stage
# is then skipped, and tools/pe32-ready says why.
binfmt=/proc/sys/fs/binfmt_misc
i386_rule=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'

register_i386() {
  [ -e "$binfmt/qemu-i386" ] && return 0
  if [ ! -e "$binfmt/register" ]; then
    [ "$(id -u)" -eq 0 ] || return 1
    echo "deps: mounting binfmt_misc on $binfmt"
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || return 1
  fi
  [ -e "$binfmt/qemu-i386" ] && return 0
  [ "$(id -u)" -eq 0 ] || return 1
  [ -x /usr/bin/qemu-i386-static ] || return 1
  echo "deps: registering i386 programs with qemu-i386-static in binfmt_misc (fix-binary)"
  printf '%s' "$i386_rule" > "$binfmt/register" 2>/dev/null || return 1
}

install_wine32() {
  is_installed wine32:i386 && return 0
  [ "$(id -u)" -eq 0 ] || return 1
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "deps: adding the i386 package architecture (dpkg --add-architecture i386)"
    dpkg --add-architecture i386
  fi
  echo "deps: installing ${pe32_packages[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${pe32_packages[@]}" >/dev/null
}

if ! register_i386; then
  echo "deps: cannot register i386 programs in binfmt_misc (not root, or no binfmt_misc): the PE32 stage will be skipped" >&2
elif ! install_wine32; then
  echo "deps: cannot install wine32:i386: the PE32 stage will be skipped" >&2
fi
exit 0
