# Member names that would lead outside the output folder are not extracted.
printf 'payload' > p.txt
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o setup.exe --quiet \
  --add '..\escape.txt=p.txt' --add 'C:\abs.txt=p.txt' --add 'ok\..\..\up.txt=p.txt' --add 'ok\fine.txt=p.txt' || exit
mkdir out
"$PLOVEPACK" extract setup.exe -o out/x
status=$?
find . -name '*.txt' -newer setup.exe | sort
exit $status
