#!/usr/bin/env bash
# windows-layout.sh WINE_DIR BUILD_TREE TOP WORK
# The Windows packer as installed (cmake --install of the win64 tree, the
# layout of the .zip): plovepack.exe, run under Wine, prints its version,
# packs the bundled example without --stub from stubs\ beside it (x86, and
# x64 with --arch), verifies and lists the installers with their stubs'
# version; a plovepack.exe without stubs\ says where it looked. All of it
# in one Wine prefix (one batch file). Exit 77 (skipped) when the win32
# tree has not built the x86 stub.
set -uo pipefail
wine_dir=$1 tree=$2 top=$3 work=$4
stub86=$(sed -n 's/^PLOVE_STUB_X86:FILEPATH=//p' "$tree/CMakeCache.txt")
[ -f "$stub86" ] || { echo "no x86 stub at $stub86: skipped (scripts/build.sh win32)"; exit 77; }
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
cmake --install "$tree" --prefix plove >/dev/null || fail "cmake --install"
version=$(sed -n 's/^project(PloveInstall VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
cp -r "$top/examples/hello" hello && cp "$tree/examples/hello/hello-app.exe" hello/ || exit 1
mkdir nostubs && cp plove/plovepack.exe nostubs/ || exit 1
pack='plove\plovepack.exe build hello\setup.dat --files hello\files --add hello-app.exe=hello\hello-app.exe --quiet'
# (Wine's cmd runs the right side of "||" after a success that follows a
# failure, so each step checks the errorlevel itself.)
cat > run.bat <<BAT
@echo off
plove\\plovepack.exe --version
if errorlevel 1 exit /b 1
$pack -o hello-x86.exe
if errorlevel 1 exit /b 1
$pack --arch x64 -o hello-x64.exe
if errorlevel 1 exit /b 1
plove\\plovepack.exe verify hello-x86.exe
if errorlevel 1 exit /b 1
plove\\plovepack.exe verify hello-x64.exe
if errorlevel 1 exit /b 1
plove\\plovepack.exe list hello-x86.exe
if errorlevel 1 exit /b 1
nostubs\\plovepack.exe build hello\\setup.dat --files hello\\files -o never.exe 2>&1
exit /b 0
BAT
"$top/scripts/wine/run-test.sh" "$wine_dir" 120 cmd /c run.bat > out.txt 2>&1 || fail "run.bat: $(cat out.txt)"
tr -d '\r' < out.txt > lines.txt
expect() { grep -qxF -- "$1" lines.txt || fail "no line '$1' in: $(cat lines.txt)"; }
expect "plovepack $version"
expect "hello-x86.exe: OK, 4 members"
expect "hello-x64.exe: OK, 4 members"
expect "  Comments: Built with plovepack $version"
[ -f never.exe ] && fail "never.exe written"
grep -F "no x86 installer stub: looked for '" lines.txt | grep -qF 'nostubs\stubs\setup-stub-x86.exe' ||
  fail "the missing stub's message: $(cat lines.txt)"
machine() { x86_64-w64-mingw32-objdump -f "$1" | sed -n 's/^architecture: \([^,]*\).*/\1/p'; }
[ "$(machine hello-x86.exe) $(machine hello-x64.exe)" = "i386 i386:x86-64" ] || fail "architectures"
echo "plovepack.exe $version packed the example from stubs\\ (x86, x64) under Wine; without stubs\\ it said where it looked"
