#!/usr/bin/env bash
# signed-installer.sh WINE_DIR STUB HOST_PLOVEPACK DATA WORK
# The real installer stub, packed and then signed with a throw-away
# self-signed certificate made here: osslsigncode accepts the signature,
# plovepack still verifies the payload, and the signed installer runs under
# Wine with --silent and ends with exit code 0. Exit 77 (skipped) when the
# sibling host tree has not built its plovepack or a tool is missing.
set -uo pipefail
wine_dir=$1 stub=$2 host_tool=$3 data=$4 work=$5
[ -x "$host_tool" ] || { echo "no host plovepack at $host_tool: skipped"; exit 77; }
command -v osslsigncode >/dev/null && command -v openssl >/dev/null || { echo "tools missing: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
run_test=$here/../../../scripts/wine/run-test.sh
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Plove Test Publisher" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 || fail "openssl"
"$host_tool" build "$data/setup.dat" --files "$data/files" --stub "$stub" -o setup.exe --quiet || fail "packing"
osslsigncode sign -certs cert.pem -key key.pem -n "CLI Demo" -h sha256 -in setup.exe -out signed.exe >/dev/null ||
  fail "signing"
osslsigncode verify -CAfile cert.pem -in signed.exe | grep -qx 'Signature verification: ok' || fail "signature not accepted"
"$host_tool" verify signed.exe >/dev/null || fail "plovepack verify refuses the signed installer"

# The silent run. Today the installer opens and checks its payload and
# ends; when it installs, this is the place to check the installed files,
# the Apps & Features entry and that the uninstaller copy it leaves is
# byte-identical to signed.exe (and so still signed).
"$run_test" "$wine_dir" 120 "$work/signed.exe" --silent
status=$?
[ $status = 0 ] || fail "signed.exe --silent ended with $status"
echo "signed installer accepted by osslsigncode and plovepack, runs silently under Wine"
