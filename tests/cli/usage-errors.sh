"$PLOVEPACK" 2>&1 | head -n 1
"$PLOVEPACK" frobnicate 2>&1 | head -n 1
"$PLOVEPACK" lint a.dat --stub x.exe 2>&1 | head -n 1
"$PLOVEPACK" build a.dat -o x.exe --arch arm64 2>&1 | head -n 1
"$PLOVEPACK" build a.dat --files . -o x.exe --arch x64 --stub s.exe 2>&1 | head -n 1
"$PLOVEPACK" build a.dat --files .
