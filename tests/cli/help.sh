"$PLOVEPACK" --help | head -n 1
for c in build list verify extract lint manifest choco; do "$PLOVEPACK" $c --help | head -n 1; done
"$PLOVEPACK" --version | sed -E 's/ [0-9]+\.[0-9]+\.[0-9]+$/ MAJOR.MINOR.PATCH/'
"$PLOVEPACK" --version extra
"$PLOVEPACK" help choco | head -n 1
"$PLOVEPACK" -V | head -n 1 | sed -E 's/ [0-9]+\.[0-9]+\.[0-9]+$/ MAJOR.MINOR.PATCH/'
"$PLOVEPACK" help frobnicate 2>&1 | head -n 1
"$PLOVEPACK" help frobnicate >/dev/null 2>&1; echo "help frobnicate: exit $?"
