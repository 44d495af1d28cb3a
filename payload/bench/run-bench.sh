#!/usr/bin/env bash
# Runs build/host/payload-bench over its fixed corpus plus the four real
# payloads of the shipped (i686) setup program, when they have been built.
# Usage: payload/bench/run-bench.sh [more files...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=$root/build/host/payload-bench
[ -x "$bench" ] || { echo "run-bench: build the host tree first (tools/build.sh host)" >&2; exit 2; }
payloads=()
for file in build/win32/product/Morvantile.exe build/win32/product/Morvantile.dll \
            build/win32/product/psapi.dll resources/licence.txt; do
  [ -f "$root/$file" ] && payloads+=("$root/$file")
done
exec "$bench" "${payloads[@]}" "$@"
