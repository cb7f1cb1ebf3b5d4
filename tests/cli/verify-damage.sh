"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o setup.exe --quiet || exit
# Find the archive inside the stub: its trailer ends with magic 2 (43 F3 FF 0E),
# and list states its size.
magic=$(grep -abo $'\x43\xf3\xff\x0e' setup.exe | tail -n 1 | cut -d: -f1)
size=$("$PLOVEPACK" list setup.exe | awk 'END { print $10 }')
start=$(( magic + 4 - size ))
poke() { cp setup.exe "$1"; printf "$3" | dd of="$1" bs=1 seek=$2 conv=notrunc status=none; }
# Sums depend on the encoder's exact output: shown masked.
mask() { sed -E 's/(is|computed) 0x[0-9A-F]{8}/\1 0x########/g'; }
poke magic.exe $magic '\x00'
"$PLOVEPACK" verify magic.exe | mask; echo "exit ${PIPESTATUS[0]}"
poke data.exe $(( start + 128 + 5 )) '\x7f'
"$PLOVEPACK" verify data.exe | mask; echo "exit ${PIPESTATUS[0]}"
"$PLOVEPACK" extract data.exe -o out; echo "exit $?"; ls out
"$PLOVEPACK" verify nothere.exe
