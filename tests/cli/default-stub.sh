# plovepack build without --stub takes the stub shipped beside the program:
# stubs/ beside it (Windows, build trees) or ../share/plove-install/stubs/
# (an installed Linux layout), the x86 one unless --arch x64 says otherwise,
# found from the real file when the program is started through a link; a
# missing stub is an error that names where it looked.
layout() {  # layout ROOT PROGRAM_FOLDER STUB_FOLDER ARCH...
  local root=$1 bin=$2 stubs=$3; shift 3
  mkdir -p "$root/$bin" "$root/$stubs" && cp "$PLOVEPACK" "$root/$bin/plovepack" || exit
  for arch in "$@"; do cp "$STUB" "$root/$stubs/setup-stub-$arch.exe" || exit; done
}
build() {  # build PROGRAM [OPTION...]
  local program=$1; shift
  rm -f setup.exe
  "$program" build "$DATA/setup.dat" --files "$DATA/files" -o setup.exe --quiet "$@" && "$program" verify setup.exe
}
layout linux bin share/plove-install/stubs x86 x64
layout windows . stubs x64
build linux/bin/plovepack
build linux/bin/plovepack --arch x64
build windows/plovepack --arch x64
build windows/plovepack
mkdir elsewhere && ln -s ../linux/bin/plovepack elsewhere/plovepack && build elsewhere/plovepack
