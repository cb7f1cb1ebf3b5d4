"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o one.exe --threads 1 --quiet &&
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o two.exe --threads 4 --quiet &&
SOURCE_DATE_EPOCH=1 "$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o three.exe --quiet &&
cmp one.exe two.exe && cmp one.exe three.exe && echo identical
