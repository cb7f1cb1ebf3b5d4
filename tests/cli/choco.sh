# plovepack choco: Chocolatey packages for an installer, one downloading
# it from an address, one carrying it (with VERIFICATION.txt and the
# installer's licence) and packed into a .nupkg. The files are compared
# with golden copies and the .nupkg's layout read with a zip reader
# (choco/check-package.py); the scripts are parsed with tree-sitter's
# PowerShell grammar (choco/parse-powershell.cjs). Then the refusals.
here=$DATA/..
check() { python3 "$here/choco/check-package.py" "$@"; }
parse() { NODE_PATH="$here/../../build/deps-src/npm/node_modules" node "$here/choco/parse-powershell.cjs" "$@"; }
"$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$STUB" -o demo-setup.exe --quiet || exit
"$PLOVEPACK" choco demo-setup.exe --id cli-demo --version 2.1.0 --publisher 'Plove Demo' \
  --url https://downloads.example/demo-setup.exe --short-description 'The CLI demo.' -o download \
  --project-url https://demo.example/ --tags 'demo, cli  demo installer' --license-url https://demo.example/licence \
  --package-source-url https://code.example/demo-choco --icon-url https://demo.example/icon.png >/dev/null &&
  check download demo-setup.exe "$here/choco/golden/download"
# Quotes of every kind in the product name (Windows-1252 0x91 0x92), XML's
# special characters in the publisher; the licence from the installer.
printf "[Project Name]\r\nBob's \x91Q\x92 App\r\n[ProgramVersion]\r\n1.0.0\r\n[UninstallSettings]\r\nPlove & <Co>\r\n" > bob.dat
printf '[Install To]\r\n<Program Files>Bob\\\r\n' >> bob.dat
printf 'Licence of Bob\x92s app.\r\n' > licence.txt
mkdir empty
"$PLOVEPACK" build bob.dat --files empty --stub "$STUB" --add setup.lic=licence.txt -o bob-setup-1.0.0.exe --quiet || exit
carry() {
  out=$1; shift
  "$PLOVEPACK" choco bob-setup-1.0.0.exe --id Bob.App --embed --pack --url https://bob.example/bob-setup-1.0.0.exe \
    --project-url https://bob.example/ --short-description 'Bob "quoted" & <tagged>.' -o "$out" "$@"
}
carry embedded && check embedded bob-setup-1.0.0.exe "$here/choco/golden/embedded"
carry again >/dev/null && cmp embedded/Bob.App.1.0.0.nupkg again/Bob.App.1.0.0.nupkg && echo same .nupkg again
parse download/tools/*.ps1 embedded/tools/*.ps1
# Again into the same folder, downloading instead of carrying and without
# --pack: nothing of the earlier run stays behind.
"$PLOVEPACK" choco bob-setup-1.0.0.exe --id Bob.App --url https://bob.example/bob-setup-1.0.0.exe \
  --project-url https://bob.example/ --short-description 'Bob.' -o again | grep -v '^wrote'
ls again again/tools
# A licence given for the carried installer instead of the one it shows.
printf 'MIT licence of Bob\n' > bob-licence.txt
carry licensed --license-file bob-licence.txt >/dev/null && cat licensed/tools/LICENSE.txt
# Refusals.
choco() { "$PLOVEPACK" choco "$@" --short-description 'A demo.' -o refused; }
"$PLOVEPACK" build bob.dat --files empty --stub "$STUB" -o bob-plain.exe --quiet --no-sign-warning || exit
choco bob-plain.exe --id Bob.App --embed --url https://bob.example/b.exe --project-url https://bob.example/
choco bob-plain.exe --id Bob.App --embed --project-url https://bob.example/
choco bob-plain.exe --id Bob.App --url https://bob.example/b.exe
choco bob-plain.exe --id Bob.App --url https://bob.example/b.exe --project-url https://bob.example/ --icon-url icon.png
choco() { "$PLOVEPACK" choco "$@" --short-description 'A demo.' -o refused --project-url https://x.example/; }
choco demo-setup.exe --id 'cli demo' --version 2.1.0 --publisher P --url https://x.example/s.exe
choco demo-setup.exe --id cli-demo --publisher P --url https://x.example/s.exe
choco demo-setup.exe --id cli-demo --version '1.0 beta' --publisher P --url https://x.example/s.exe
choco demo-setup.exe --id cli-demo --version 2.1.0 --url https://x.example/s.exe
choco demo-setup.exe --id cli-demo --version 2.1.0 --publisher P --url ftp://x.example/s.exe
cp demo-setup.exe 'demo setup.exe' && choco 'demo setup.exe' --id cli-demo --version 2.1.0 --publisher P --embed --url https://x.example/s.exe
printf '[InstallContainer]\r\n' > suite.dat && mkdir inner && cp demo-setup.exe inner/App.exe
"$PLOVEPACK" build suite.dat --files inner --stub "$STUB" -o suite.exe --quiet || exit
choco suite.exe --id suite --version 1.0 --publisher P --embed --url https://x.example/s.exe
"$PLOVEPACK" choco demo-setup.exe --id cli-demo -o refused 2>&1 | head -n 1
"$PLOVEPACK" choco demo-setup.exe --id cli-demo --short-description 'A demo.' -o refused 2>&1 | head -n 1
ls refused
