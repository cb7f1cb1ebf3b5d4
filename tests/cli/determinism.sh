# The same inputs give the same installer, byte for byte: whatever the
# thread count, the time, the time zone, the files' dates, the folder the
# inputs lie in and the working folder. (The Windows plovepack.exe under
# Wine gives these bytes too: tests/win/packer/reproducible.sh.)
build() { "$PLOVEPACK" build "$@" --stub "$STUB" --quiet; }
build "$DATA/setup.dat" --files "$DATA/files" -o one.exe --threads 1 || exit
build "$DATA/setup.dat" --files "$DATA/files" -o two.exe --threads 4 || exit
SOURCE_DATE_EPOCH=1 TZ=Pacific/Kiritimati build "$DATA/setup.dat" --files "$DATA/files" -o three.exe || exit
mkdir -p elsewhere && cp -r "$DATA/setup.dat" "$DATA/setup.lic" "$DATA/files" elsewhere/ &&
  touch -d '2001-02-03 04:05:06' elsewhere/setup.dat elsewhere/files/* || exit
(cd elsewhere && build setup.dat --files files -o ../four.exe --threads 3) || exit
cmp one.exe two.exe && cmp one.exe three.exe && cmp one.exe four.exe && echo identical
