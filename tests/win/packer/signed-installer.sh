#!/usr/bin/env bash
# signed-installer.sh WINE_DIR STUB HOST_PLOVEPACK WORK
# The real installer stub, packed with its uninstaller signed by
# --sign-command and then signed itself, with a throw-away self-signed
# certificate made here: osslsigncode accepts both signatures, plovepack
# still verifies the payload, the signed installer installs under Wine with
# --silent (exit code 0, the file placed), and the uninstaller copy it leaves
# is the signed uninstaller byte for byte, under 1 MB, and osslsigncode
# accepts its signature. Exit 77 (skipped) when the sibling host tree has not
# built its plovepack or a tool is missing.
set -uo pipefail
wine_dir=$1 stub=$2 host_tool=$3 work=$4
[ -x "$host_tool" ] || { echo "no host plovepack at $host_tool: skipped"; exit 77; }
command -v osslsigncode >/dev/null && command -v openssl >/dev/null || { echo "tools missing: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
run_test=$here/../../../scripts/wine/run-test.sh
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Plove Test Publisher" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 || fail "openssl"
mkdir files && printf 'signed product\r\n' > files/signed-demo.txt
printf '[Project Name]\r\nSigned Demo\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\n<Program Files>Signed Demo\\\r\n' > setup.dat
printf '[CopyFile]\r\nsigned-demo.txt\r\n<Destination>signed-demo.txt\r\n' >> setup.dat
sign="osslsigncode sign -certs cert.pem -key key.pem -n 'Signed Demo' -h sha256"
"$host_tool" build setup.dat --files files --stub "$stub" -o setup.exe --quiet \
  --sign-command "$sign -in {in} -out {out} >/dev/null && cp {out} uninstaller.exe" || fail "packing"
osslsigncode verify -CAfile cert.pem -in uninstaller.exe | grep -qx 'Signature verification: ok' ||
  fail "the uninstaller's signature is not accepted"
osslsigncode sign -certs cert.pem -key key.pem -n "Signed Demo" -h sha256 -in setup.exe -out signed.exe >/dev/null ||
  fail "signing"
osslsigncode verify -CAfile cert.pem -in signed.exe | grep -qx 'Signature verification: ok' || fail "signature not accepted"
"$host_tool" verify signed.exe >/dev/null || fail "plovepack verify refuses the signed installer"

# The silent install, in a prefix kept for a look afterwards.
output=$(PLOVE_KEEP_PREFIX=1 "$run_test" "$wine_dir" 240 "$work/signed.exe" --silent 2>&1)
status=$?
prefix=$(sed -n 's/^run-test: prefix kept at //p' <<<"$output")
cleanup() { [ -n "$prefix" ] && rm -rf "$prefix"; }
trap cleanup EXIT
[ $status = 0 ] || fail "signed.exe --silent ended with $status: $output"
placed=$(find "$prefix/drive_c" -path '*/Signed Demo/signed-demo.txt' | head -n 1)
[ -n "$placed" ] && cmp -s "$placed" files/signed-demo.txt || fail "the file was not installed"
copy=$(find "$prefix/drive_c" -name 'Uninstall-Signed Demo.exe' | head -n 1)
[ -n "$copy" ] || fail "no uninstaller copy"
cmp "$copy" uninstaller.exe || fail "the uninstaller copy differs from the signed uninstaller"
[ "$(stat -c %s "$copy")" -lt 1000000 ] || fail "the uninstaller copy is 1 MB or larger"
osslsigncode verify -CAfile cert.pem -in "$copy" | grep -qx 'Signature verification: ok' || fail "the uninstaller copy is not signed"
echo "signed installer accepted by osslsigncode and plovepack, installs silently under Wine; its uninstaller copy" \
  "($(stat -c %s "$copy") bytes, installer $(stat -c %s signed.exe)) is the signed uninstaller"
