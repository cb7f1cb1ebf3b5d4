# Publishers sign after packing. A throw-away self-signed certificate made
# here signs a packed installer: osslsigncode accepts the signature and
# plovepack still reads and verifies the payload; a byte changed in the
# payload afterwards breaks the signature; a signed stub is refused, with
# the advice to sign after packing.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Plove Test Publisher" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 || exit
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o setup.exe --quiet || exit
osslsigncode sign -certs cert.pem -key key.pem -n "CLI Demo" -h sha256 -in setup.exe -out signed.exe >/dev/null || exit
osslsigncode verify -CAfile cert.pem -in signed.exe | grep -E '^(Signature verification|Number of verified)'
"$PLOVEPACK" verify signed.exe
"$PLOVEPACK" list signed.exe | tail -n 1
"$PLOVEPACK" extract signed.exe -o out >/dev/null && cmp out/setup.dat "$DATA/setup.dat" && echo members intact
# One byte of the payload changed after signing.
rva=$(wrestool -l signed.exe | sed -nE 's/.*--type=10 --name=24356 .*offset=0x([0-9a-f]+).*/\1/p')
at=$(python3 - signed.exe "$rva" <<'PY'
import struct, sys
image = open(sys.argv[1], "rb").read()
rva = int(sys.argv[2], 16)
pe = struct.unpack_from("<I", image, 0x3C)[0]
count, optional = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
for i in range(count):
    size, address, raw_size, raw = struct.unpack_from("<IIII", image, pe + 24 + optional + 40 * i + 8)
    if address <= rva < address + size:
        print(rva - address + raw + 300)
PY
)
cp signed.exe tampered.exe && printf '\x55' | dd of=tampered.exe bs=1 seek="$at" conv=notrunc 2>/dev/null
osslsigncode verify -CAfile cert.pem -in tampered.exe 2>&1 | grep -E '^Signature verification'
"$PLOVEPACK" verify tampered.exe | head -n 1
# Packing a signed stub would break its signature.
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub signed.exe -o again.exe --quiet
ls again.exe
