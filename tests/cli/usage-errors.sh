"$PLOVEPACK" 2>&1 | head -n 1
"$PLOVEPACK" frobnicate 2>&1 | head -n 1
"$PLOVEPACK" lint a.dat --stub x.exe 2>&1 | head -n 1
"$PLOVEPACK" build a.dat --files . -o x.exe
