# build, list (unpacked sizes, methods and names), verify, extract everything, compare.
printf 'added\n' > extra.txt
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o setup.exe --add 'Extra Dir\extra.txt=extra.txt' --quiet || exit
"$PLOVEPACK" list setup.exe | sed -nE 's/^ *[0-9]+ +([0-9]+)  ([a-z]+) +0x[0-9A-F]{8}  /\1 \2 /p'
"$PLOVEPACK" verify setup.exe
"$PLOVEPACK" extract setup.exe -o out || exit
cmp out/setup.dat "$DATA/setup.dat" && cmp out/setup.lic "$DATA/setup.lic" && cmp out/app.txt "$DATA/files/app.txt" &&
  cmp out/blob.bin "$DATA/files/blob.bin" && cmp out/tool.txt "$DATA/files/tool.txt" && cmp "out/Extra Dir/extra.txt" extra.txt &&
  echo all members identical
"$PLOVEPACK" extract setup.exe BLOB.BIN -o one && ls one
