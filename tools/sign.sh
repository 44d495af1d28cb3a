#!/usr/bin/env bash
# Signs Windows programs and DLLs in place with Authenticode (osslsigncode),
# with the publisher's certificate:
#   MV_SIGN_PKCS12         the certificate and its private key, a PKCS#12 file
#   MV_SIGN_PASSWORD       its password (read from the environment, never
#                          put on a command line other users can see)
#   MV_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamping service, so the
#                          signature outlives the certificate
# Usage: tools/sign.sh FILE...
# The build calls it when configured with -DMV_SIGN=ON (tools/build.sh does
# that when MV_SIGN=1): the product's exe and DLLs are signed before they are
# compressed into payloads, the setup after it is linked.
set -euo pipefail

die() { echo "sign: $*" >&2; exit 1; }
[ $# -gt 0 ] || die "usage: tools/sign.sh FILE..."
command -v osslsigncode >/dev/null || die "osslsigncode is missing (tools/deps.sh installs it)"
[ -n "${MV_SIGN_PKCS12:-}" ] || die "MV_SIGN_PKCS12 names no certificate file"
[ -r "$MV_SIGN_PKCS12" ] || die "cannot read the certificate file $MV_SIGN_PKCS12"
[ -n "${MV_SIGN_PASSWORD+set}" ] || die "MV_SIGN_PASSWORD is not set"

timestamp=()
[ -n "${MV_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$MV_SIGN_TIMESTAMP_URL")

for file in "$@"; do
  [ -f "$file" ] || die "no such file: $file"
  signed="$file.signing"
  rm -f "$signed"
  # The password goes through a pipe, not the argument list.
  if ! osslsigncode sign -pkcs12 "$MV_SIGN_PKCS12" -readpass <(printf '%s' "$MV_SIGN_PASSWORD") \
       -h sha256 -n "Morvantile" -i "https://www.quillfern.example/morvantile/" \
       "${timestamp[@]}" -in "$file" -out "$signed" >/dev/null; then
    rm -f "$signed"
    die "could not sign $file"
  fi
  mv -f "$signed" "$file"
  echo "signed $file"
done
