# What a publisher's first builds go wrong with: misspelt directives and
# folder macros (refused with the nearest known name, kept with
# --allow-unknown), files that no line installs, an output that is one of
# the inputs (by name, through a symbolic link or a hard link), and the
# product's identity in the installer's version resource and icon.
build() { "$PLOVEPACK" build "$@" --stub "$STUB" --quiet; }
mkdir -p app/doc app/.git && printf 'program' > app/myapp.exe && printf 'read me' > app/doc/readme.txt &&
  touch app/.gitignore app/.git/HEAD
printf '[Project Name]\r\nMy App\r\n[ProgramVersion]\r\n1.2.3-beta\r\n[UninstallSettings]\r\nMy Company\r\n' > base.dat
printf '[Install To]\r\n<Progam Files>My App\\\r\n' >> base.dat
cp base.dat typo.dat
printf '[CopyFlie]\r\nmyapp.exe\r\n<Destination>myapp.exe\r\n[Copy File]\r\n[Regsitry]\r\n[Frobnicate]\r\n' >> typo.dat
printf '[CopyFile]\r\nmyapp.exe\r\n<Destnation>myapp.exe\r\n[Message]\r\n<b>Hello</b> from <Desktop> and <DeskTopp>\r\nInformation\r\n' >> typo.dat
"$PLOVEPACK" lint typo.dat --files app; echo "lint: exit $?"
build typo.dat --files app -o typo.exe; echo "build: exit $?"; ls typo.exe 2>&1
build typo.dat --files app -o typo.exe --allow-unknown 2>&1 | grep -c warning; ls typo.exe

# The output may not be an input, under any name.
sed 's/<Progam Files>/<Program Files>/' base.dat > good.dat
printf '[CopyFile]\r\nmyapp.exe\r\n<Destination>myapp.exe\r\n[CopyFile]\r\ndoc\\readme.txt\r\n<Destination>readme.txt\r\n' >> good.dat
ln -s app/myapp.exe link.exe && ln app/doc/readme.txt hard.txt && cp "$STUB" stub.exe
for out in app/myapp.exe link.exe hard.txt good.dat ./app/../good.dat stub.exe; do
  "$PLOVEPACK" build good.dat --files app --stub stub.exe -o "$out" --quiet --no-sign-warning; echo "-o $out: exit $?"
done
cat app/myapp.exe app/doc/readme.txt; echo; cmp stub.exe "$STUB" && echo stub kept

# The product's identity: version resource fields and an icon.
python3 - <<'PY'
import struct
def dib(size):
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b'\x00\x80\xff\xff' * size * size + b'\x00' * (4 * size)
images = [dib(16), dib(32)]
out = struct.pack('<HHH', 0, 1, len(images))
offset = 6 + 16 * len(images)
for i, data in enumerate(images):
    out += struct.pack('<BBBBHHII', 16 * (i + 1), 16 * (i + 1), 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open('product.ico', 'wb').write(out + b''.join(images))
open('notanicon.ico', 'wb').write(b'GIF89a' + b'\0' * 40)
PY
"$PLOVEPACK" build good.dat --files app --stub stub.exe -o setup.exe --quiet --no-sign-warning \
  --copyright '(c) 2025 My Company' --icon product.ico || exit
"$PLOVEPACK" list setup.exe | sed -n '/^version resource/,/ProductVersion/p'
"$PLOVEPACK" build good.dat --files app --stub stub.exe -o other.exe --quiet --no-sign-warning \
  --company 'Other Inc.' --description 'Other installer' && "$PLOVEPACK" list other.exe | grep -E 'CompanyName|FileDescription'
"$PLOVEPACK" build good.dat --files app --stub stub.exe -o bad.exe --quiet --icon notanicon.ico
# Files that are no installer of ours, and where a failure comes from.
printf 'hello' > plain.txt
"$PLOVEPACK" list plain.txt; "$PLOVEPACK" verify stub.exe
"$PLOVEPACK" build good.dat --files app/myapp.exe --stub stub.exe -o x.exe --quiet
mkdir folder.exe && "$PLOVEPACK" build good.dat --files app --stub stub.exe -o folder.exe --quiet --no-sign-warning
"$PLOVEPACK" build good.dat --files app --stub stub.exe -o missing/x.exe --quiet --no-sign-warning
"$PLOVEPACK" build good.dat --files app -o x.exe --level 12 2>&1 | head -n 1; echo "usage: exit ${PIPESTATUS[0]}"
