"$PLOVEPACK" --help | head -n 1
for c in build list verify extract lint manifest; do "$PLOVEPACK" $c --help | head -n 1; done
