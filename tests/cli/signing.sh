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

# The uninstaller signed by --sign-command (a copy of what it signed kept
# aside), then the installer signed too: the uninstaller that the
# installer's recipe makes from its own file is that signed file, byte for
# byte, and osslsigncode accepts it.
sign="osslsigncode sign -certs cert.pem -key key.pem -n 'CLI Demo' -h sha256"
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o both.exe --quiet \
  --sign-command "$sign -in {in} -out {out} >/dev/null && cp {out} kept.exe" || exit
osslsigncode sign -certs cert.pem -key key.pem -n "CLI Demo" -h sha256 -in both.exe -out both-signed.exe >/dev/null || exit
ls both.exe.uninstaller*
for installer in both.exe both-signed.exe; do
  wrestool -x --raw --type=10 --name=24357 "$installer" > recipe.bin || exit
  python3 - "$installer" recipe.bin made.exe <<'PY'
import struct, sys
installer, recipe = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
magic, version, prefix, length, _, count = struct.unpack_from("<6I", recipe)
image, at = bytearray(installer[:prefix].ljust(length, b"\0")), 24 if version == 1 else 56
for _ in range(count):
    offset, size = struct.unpack_from("<II", recipe, at)
    image[offset:offset + size] = recipe[at + 8:at + 8 + size]
    at += 8 + size
open(sys.argv[3], "wb").write(image)
PY
  cmp made.exe kept.exe && echo "$installer: uninstaller as signed"
done
osslsigncode verify -CAfile cert.pem -in made.exe | grep -E '^Signature verification'
# Signed in place: a command without {out}.
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o inplace.exe --quiet \
  --sign-command "$sign -in {in} -out {in}.signed >/dev/null && mv {in}.signed {in}" && echo signed in place
# A command that fails, one without {in}, one that leaves nothing: nothing
# is written, and the uninstaller's files beside the output are gone.
for command in "false {in} {out}" "echo {out}" "true {in} {out}"; do
  "$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o bad.exe --quiet --sign-command "$command"
  echo "status $?"
done
ls bad.exe* 2>&1 | sed 's/^ls: //'
# One that does not sign: a warning.
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o unsigned.exe --quiet \
  --sign-command "cp {in} {out}"
