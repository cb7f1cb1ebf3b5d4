# The same inputs give the same installer, byte for byte: whatever the
# thread count, the time, the time zone, the files' dates, the folder the
# inputs lie in and the working folder. The file's name goes into its
# version resource, so each build writes setup.exe in a folder of its own.
# (The Windows plovepack.exe under
# Wine gives these bytes too: tests/win/packer/reproducible.sh.)
mkdir one two three four
build() { "$PLOVEPACK" build "$@" --stub "$STUB" --quiet; }
build "$DATA/setup.dat" --files "$DATA/files" -o one/setup.exe --threads 1 || exit
build "$DATA/setup.dat" --files "$DATA/files" -o two/setup.exe --threads 4 || exit
SOURCE_DATE_EPOCH=1 TZ=Pacific/Kiritimati build "$DATA/setup.dat" --files "$DATA/files" -o three/setup.exe || exit
mkdir -p elsewhere && cp -r "$DATA/setup.dat" "$DATA/setup.lic" "$DATA/files" elsewhere/ &&
  touch -d '2001-02-03 04:05:06' elsewhere/setup.dat elsewhere/files/* || exit
(cd elsewhere && build setup.dat --files files -o ../four/setup.exe --threads 3) || exit
cmp one/setup.exe two/setup.exe && cmp one/setup.exe three/setup.exe && cmp one/setup.exe four/setup.exe && echo identical
