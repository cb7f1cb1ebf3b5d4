"$PLOVEPACK" lint "$DATA/setup.dat" --files "$DATA/files" && echo clean
"$PLOVEPACK" lint "$DATA/bad.dat" --files "$DATA/files" 2>&1 | sed "s|$DATA/||"
"$PLOVEPACK" lint "$DATA/bad.dat" 2>&1 | sed "s|$DATA/||"
exit ${PIPESTATUS[0]}
