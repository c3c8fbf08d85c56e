#!/usr/bin/env bash
# Signing with a throwaway self-signed certificate made here (its key behind a passphrase):
# scripts/package-windows signs the three programs, the NSIS installer (and its uninstaller as
# makensis writes it) and the MSI package; osslsigncode verifies each against the certificate, the
# uninstaller after a silent install under Wine. Without a certificate it says it left them unsigned.
#   tests/windows/signing.sh BUILD      (WINEPREFIX set to a ready prefix)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/install-checks.sh"
verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 || { tail -3 "$work/verify.log"; false; }; }

unsigned=$(env -u VESTREL_SIGN_CERT -u VESTREL_SIGN_KEY "$here/scripts/package-windows" "$build" "$work/unsigned" 9.9.9)
check "without a certificate: said to be left unsigned" grep -q "^left unsigned" <<<"$unsigned"

openssl req -x509 -newkey rsa:2048 -days 2 -subj "/CN=Vestrel throwaway test signing" -keyout "$work/key.pem" \
  -out "$work/cert.pem" -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -passout pass:throwaway-passphrase 2>/dev/null
VESTREL_SIGN_CERT="$work/cert.pem" VESTREL_SIGN_KEY="$work/key.pem" VESTREL_SIGN_PASS=throwaway-passphrase \
  "$here/scripts/package-windows" "$build" "$work/signed" 9.9.9 >"$work/package.log"
for file in vestrel.exe vestrelw.exe vestrel-fleet.exe vestrel-9.9.9-setup.exe vestrel-9.9.9-x64.msi; do
  check "signed and verified: $file" verified "$work/signed/$file"
done
check "said what it signed with" grep -q "^signing with $work/cert.pem" "$work/package.log"
wine "$work/signed/vestrel-9.9.9-setup.exe" /S
uninstaller="$WINEPREFIX/drive_c/Program Files/Vestrel/uninstall.exe"
check "signed and verified: the installed uninstall.exe" verified "$uninstaller"
wine "$uninstaller" /S
exit "$failures"
