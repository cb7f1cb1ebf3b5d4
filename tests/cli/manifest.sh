# plovepack manifest: the winget manifests, read from the installer itself,
# parsed with a YAML parser and checked against winget's own JSON schemas
# (winget/check-manifest.py): the installer manifest alone, the three files
# of a submission in the repository's layout, in schema 1.12.0 and 1.6.0;
# then the refusals.
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
"$PLOVEPACK" manifest setup.exe --id Plove.CliDemo --url https://downloads.example/setup.exe --version 2.1 \
  --manifest-version 1.6.0 -o m3.yaml && check m3.yaml setup.exe
# Submissions: the publisher from the script or --publisher, another locale.
"$PLOVEPACK" manifest named.exe --id Plove.Demo.Two --url https://x.example/s.exe --out-dir tree \
  --license Proprietary --short-description 'Démo: "quoted" & more' && check --tree tree named.exe
"$PLOVEPACK" manifest setup.exe --id Plove.CliDemo --url https://x.example/s.exe --version 2.1 --out-dir tree16 \
  --manifest-version 1.6.0 --license MIT --short-description 'A demo.' --publisher 'Plove Demo' --locale de-DE \
  >/dev/null && check --tree tree16 setup.exe
# The optional texts of the locale, valid by both schemas, and kept when the
# files are written again without them.
"$PLOVEPACK" manifest named.exe --id Plove.Demo.Two --url https://x.example/s.exe --out-dir tree \
  --license Proprietary --short-description 'Short.' --publisher-url https://plove.example/ \
  --license-url https://plove.example/licence --moniker plovedemo --tags 'demo, installer demo' \
  --description 'A longer text about "Démo".' --release-notes 'First release.' >/dev/null &&
  "$PLOVEPACK" manifest named.exe --id Plove.Demo.Two --url https://x.example/s.exe --out-dir tree \
    --license MIT --short-description 'Short again.' --tags again >/dev/null && check --tree tree named.exe >/dev/null &&
  grep -E '^(PublisherUrl|LicenseUrl|License|Moniker|Description|ReleaseNotes|ShortDescription|Tags|  - )' \
    "tree/manifests/p/Plove/Demo/Two/1.0 beta/Plove.Demo.Two.locale.en-US.yaml"
"$PLOVEPACK" manifest named.exe --id Plove.Demo.Two --url https://x.example/s.exe --out-dir tree \
  --manifest-version 1.6.0 --license MIT --short-description 'Short.' >/dev/null && check --tree tree named.exe |
  grep -c valid
grep -A3 InstallModes tree16/manifests/p/Plove/CliDemo/2.1/Plove.CliDemo.installer.yaml
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
submit() { "$PLOVEPACK" manifest "$@" --url https://x.example/s.exe --out-dir bad --short-description 'A demo.'; }
submit setup.exe --id Plove.CliDemo --version 2.1 --license MIT
submit named.exe --id Plove.App --license MIT --publisher P
submit named.exe --id Plove.App --license MI
submit named.exe --id Plove.App --license MIT --locale en_US
submit named.exe --id Plove.App --license MIT --version ..
submit named.exe --id Plove.App --license MIT --manifest-version 1.28.0
submit named.exe --id Plove.App --license MIT --moniker 'two words'
submit named.exe --id Plove.App --license MIT --publisher-url plove.example
submit named.exe --id Plove.App --license MIT --tags 'a b c d e f g h i j k l m n o p q'
"$PLOVEPACK" manifest named.exe --id Plove.App --url https://x.example/s.exe --out-dir bad -o x.yaml 2>&1 | head -n 1
"$PLOVEPACK" manifest named.exe --id Plove.App --url https://x.example/s.exe --license MIT 2>&1 | head -n 1
ls bad 2>&1
"$PLOVEPACK" manifest missing.exe --id Plove.App --url https://x.example/s.exe -o never.yaml; ls never.yaml
