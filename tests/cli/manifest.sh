# plovepack manifest: the winget installer manifest, read from the installer
# itself, parsed with a YAML parser and checked against a JSON schema of the
# fields (winget/check-manifest.py); then the refusals.
check() { python3 "$DATA/../winget/check-manifest.py" "$@"; }
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o setup.exe --quiet || exit
"$PLOVEPACK" manifest setup.exe --id Plove.CliDemo --url https://downloads.example/setup.exe --version 2.1 -o m1.yaml &&
  check m1.yaml setup.exe
# Version, publisher and odd characters from the script (Windows-1252 text).
printf '[Project Name]\r\nD\xe9mo & Co\r\n[ProgramVersion]\r\n1.0 beta\r\n[UninstallSettings]\r\nPlove "Q" \\ Caf\xe9\r\n' > named.dat
printf '[Install To]\r\n<Program Files>Demo\\\r\n' >> named.dat
mkdir empty
"$PLOVEPACK" build named.dat --files empty --stub "$STUB" -o named.exe --quiet || exit
"$PLOVEPACK" manifest named.exe --id Plove.Demo.Two --url HTTP://x.example/a%20b.exe > m2.yaml && check m2.yaml named.exe
"$PLOVEPACK" manifest named.exe --id Plove.Demo.Two --url HTTP://x.example/a%20b.exe | cmp - m2.yaml && echo same bytes again
# Refusals.
"$PLOVEPACK" manifest setup.exe --id Plove.CliDemo --url https://x.example/s.exe
"$PLOVEPACK" manifest named.exe --id Plove --url https://x.example/s.exe
"$PLOVEPACK" manifest named.exe --id 'Plove.My App' --url https://x.example/s.exe
"$PLOVEPACK" manifest named.exe --id Plove.App --url ftp://x.example/s.exe
"$PLOVEPACK" manifest named.exe --id Plove.App --url https://x.example/s.exe --version 'a/b'
cp "$STUB" stub.exe && "$PLOVEPACK" manifest stub.exe --id Plove.App --url https://x.example/s.exe
printf '[InstallContainer]\r\n' > suite.dat
mkdir inner && cp named.exe inner/App.exe
"$PLOVEPACK" build suite.dat --files inner --stub "$STUB" -o suite.exe --quiet || exit
"$PLOVEPACK" manifest suite.exe --id Plove.App --url https://x.example/s.exe
"$PLOVEPACK" manifest named.exe --url https://x.example/s.exe 2>&1 | head -n 1
"$PLOVEPACK" manifest missing.exe --id Plove.App --url https://x.example/s.exe -o never.yaml; ls never.yaml
