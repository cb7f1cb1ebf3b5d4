# Every refusal exits 1 (bad input) or 2 (I/O) and leaves no output behind.
try() { "$PLOVEPACK" build "$@" --quiet 2>&1 | sed "s|$DATA/||"; echo "exit ${PIPESTATUS[0]}"; ls; }
try "$DATA/bad.dat" --files "$DATA/files" --stub "$STUB" -o a.exe | tail -n 3
mkdir empty
try "$DATA/setup.dat" --files empty --stub "$STUB" -o b.exe
try "$DATA/setup.dat" --files "$DATA/files" --stub "$DATA/setup.dat" -o c.exe
cp "$STUB" signed.exe
printf '\x00\x50\x00\x00\x10\x00\x00\x00' | dd of=signed.exe bs=1 seek=$((0x118)) conv=notrunc status=none
try "$DATA/setup.dat" --files "$DATA/files" --stub signed.exe -o d.exe
rm signed.exe
try "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o e.exe --add "$(printf 'x%.0s' $(seq 255))=$DATA/setup.dat"
try "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o f.exe --add "中.txt=$DATA/setup.dat"
try "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o no/such/folder/g.exe
try "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o i.exe --add "Setup.DAT=$DATA/bad.dat"
# A read-only installer from an earlier build is left as it was.
printf 'old' > h.exe && chmod 444 h.exe
try "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o h.exe
echo "h.exe: $(cat h.exe)"
