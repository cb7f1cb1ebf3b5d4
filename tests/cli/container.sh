# A container script takes every other file of DIR, by name; names whose
# stem (before the last dot) is "setup" are left out with a warning, since
# the runner would never start them (the fixed members come beside the
# script or from DIR).
mkdir inner
printf 'x64' > inner/App__PLI_WIN64.exe
printf 'x86' > inner/App.exe
printf 'notes' > inner/setup.txt
printf 'v2' > inner/Setup.v2.exe
printf 'pic' > inner/setup.bmp
printf '[InstallContainer]\r\n[Message]\r\nInstalling the suite\r\nInformation\r\n' > container.dat
"$PLOVEPACK" build container.dat --files inner --stub "$STUB" -o suite.exe --quiet || exit
"$PLOVEPACK" list suite.exe | sed -nE 's/^ *[0-9]+ +([0-9]+)  0x[0-9A-F]{8}  /\1 /p'
