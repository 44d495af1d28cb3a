#!/usr/bin/env bash
# The signing round trip: a throwaway self-signed code-signing certificate,
# a signed build of the setup (build/win64-signed), each signature checked
# with osslsigncode, then the signed setup installs under Wine (its payload
# check included), and the program it installed carries its signature too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "sign-test: FAILED: $*" >&2; exit 1; }

echo "== a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillfern test signing" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
export MV_SIGN_PASSWORD="throwaway-$$"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signing.p12" \
  -passout env:MV_SIGN_PASSWORD
export MV_SIGN_PKCS12="$work/signing.p12"
unset MV_SIGN_TIMESTAMP_URL

echo "== a signed build (build/win64-signed)"
# The certificate is new on every run, and a program is signed when it is
# linked: programs left from an earlier run carry the old certificate's
# signature, so they are linked (and signed) again.
rm -f build/win64-signed/MorvantileSetup.exe build/win64-signed/product/*.exe build/win64-signed/product/*.dll
cmake -S . -B build/win64-signed -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win64.cmake -DBUILD_TESTING=OFF -DMV_SIGN=ON >/dev/null
cmake --build build/win64-signed -j "${MV_JOBS:-2}" --target MorvantileSetup >/dev/null

verify() {  # file: the signature must verify against the throwaway certificate
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.txt" 2>&1 ||
    { cat "$work/verify.txt" >&2; fail "no valid signature on $1"; }
  grep -q "Quillfern test signing" "$work/verify.txt" || fail "$1 is signed by someone else"
  echo "verified $1"
}
signed=build/win64-signed
verify "$signed/MorvantileSetup.exe"
for f in "$signed"/product/Morvantile.exe "$signed"/product/Morvantile.dll "$signed"/product/psapi.dll; do
  verify "$f"
done

echo "== an unsigned build stays unsigned"
if [ -f build/win64/MorvantileSetup.exe ] && osslsigncode verify -in build/win64/MorvantileSetup.exe >/dev/null 2>&1; then
  fail "build/win64/MorvantileSetup.exe carries a signature nobody asked for"
fi

echo "== a damaged signed setup is caught"
cp "$signed/MorvantileSetup.exe" "$work/damaged.exe"
printf 'X' | dd of="$work/damaged.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/damaged.exe" >/dev/null 2>&1 &&
  fail "a changed byte went unnoticed"

echo "== the signed setup installs under Wine"
prefix=${MV_WINEPREFIX:-$root/build/wineprefix}
folder='C:\mv-signed test\Morvantile'
unix_folder="$prefix/drive_c/mv-signed test/Morvantile"
rm -rf "$prefix/drive_c/mv-signed test"
code=0
tools/wine-run "$signed/MorvantileSetup.exe" /S /NOLAUNCH "/D=$folder" || code=$?
[ "$code" -eq 0 ] || fail "the signed setup ended with $code, not 0"
verify "$unix_folder/Morvantile.exe"
verify "$unix_folder/Morvantile.dll"
code=0
tools/wine-run "$unix_folder/Morvantile.exe" /uninstall /S || code=$?
[ "$code" -eq 0 ] || fail "the silent uninstall ended with $code, not 0"
for _ in $(seq 100); do [ -e "$unix_folder" ] || break; sleep 0.2; done
[ ! -e "$unix_folder" ] || fail "the uninstall left $unix_folder"
rm -rf "$prefix/drive_c/mv-signed test"
echo "sign-test: passed"
