# A container holds finished installers. Every other file of DIR is packed
# by name, except files whose stem (before the last dot) is "setup", which
# the runner would never start (left out with a warning; the fixed members
# come beside the script or from DIR). Each packed member must itself be an
# installer built by plovepack: anything else is refused by name and
# nothing is written. lint warns about files to place in a container, and
# build about installers that 64-bit Windows would never run.
printf '[Project Name]\r\nApp\r\n[Install To]\r\n<Program Files>App\\\r\n' > app.dat
mkdir empty inner
"$PLOVEPACK" build app.dat --files empty --stub "$STUB" -o inner/App.exe --quiet || exit
cp inner/App.exe inner/App__PLI_WIN64.exe
printf 'notes' > inner/setup.txt
printf 'pic' > inner/setup.bmp
printf '[InstallContainer]\r\n[Message]\r\nInstalling the suite\r\nInformation\r\n' > container.dat
"$PLOVEPACK" build container.dat --files inner --stub "$STUB" -o suite.exe --quiet || exit
"$PLOVEPACK" list suite.exe | sed -nE 's/^ *[0-9]+ +[0-9]+  [a-z]+ +0x[0-9A-F]{8}  //p'
"$PLOVEPACK" verify suite.exe
# An installer without a 64-bit twin never runs on 64-bit Windows here.
cp inner/App.exe inner/Runtime.exe
"$PLOVEPACK" build container.dat --files inner --stub "$STUB" -o suite.exe --quiet || exit
rm inner/Runtime.exe
printf 'v2' > inner/Setup.v2.exe
"$PLOVEPACK" build container.dat --files inner --stub "$STUB" -o refused.exe --quiet
echo "status $?"
rm inner/Setup.v2.exe
printf '[CopyFile]\r\nApp.exe\r\n<Destination>App.exe\r\n' >> container.dat
"$PLOVEPACK" lint container.dat --files inner
"$PLOVEPACK" build container.dat --files inner --stub "$STUB" -o suite.exe --quiet && ls refused.exe
