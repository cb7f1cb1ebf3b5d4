"$PLOVEPACK" --help | head -n 1
for c in build list verify extract lint manifest choco; do "$PLOVEPACK" $c --help | head -n 1; done
"$PLOVEPACK" --version | sed -E 's/ [0-9]+\.[0-9]+\.[0-9]+$/ MAJOR.MINOR.PATCH/'
"$PLOVEPACK" --version extra
