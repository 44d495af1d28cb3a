#!/usr/bin/env bash
# Builds the three trees from one command:
#   build/host   native: payload-tool, native tests, benchmark, fuzz targets
#   build/win64  x86_64 Windows: the setup program and the tests run under Wine
#   build/win32  i686 Windows: the shipped PE32 setup program and its tests (PE32 stage)
# Usage: tools/build.sh [host|win64|win32 ...]   (default: all three)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(host win64 win32)
jobs=${MV_JOBS:-$(nproc)}

# Configured on every call: a subsystem folder that gained its build file
# since the last run is then picked up.
configure() {  # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

# MV_SIGN=1 signs the Windows programs (tools/sign.sh says with what).
sign=-DMV_SIGN=OFF
[ "${MV_SIGN:-0}" = 1 ] && sign=-DMV_SIGN=ON

for t in "${targets[@]}"; do
  case "$t" in
    host)  configure build/host -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang ;;
    win64) configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win64.cmake "$sign" ;;
    win32) configure build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake "$sign" ;;
    *) echo "build: unknown tree $t" >&2; exit 2 ;;
  esac
  echo "== building build/$t"
  cmake --build "build/$t" -j "$jobs"
done
