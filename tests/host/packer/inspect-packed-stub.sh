#!/usr/bin/env bash
# inspect-packed-stub.sh PLOVEPACK STUB DATA WORK
# Packs the real 64-bit installer stub and reads the result with binutils'
# objdump and icoutils' wrestool: the sections are those of the stub, the
# base relocations list the same fixups, every resource of the stub is still
# listed, the payload is RT_RCDATA 24356, language neutral, of the
# archive's size, and the uninstaller's recipe RT_RCDATA 24357; the
# resource section is the last one.
# Exit 77 (skipped) when the stub has not been built or a tool is missing.
set -uo pipefail
plovepack=$1 stub=$2 data=$3 work=$4
[ -f "$stub" ] || { echo "no stub at $stub: skipped"; exit 77; }
command -v x86_64-w64-mingw32-objdump >/dev/null && command -v wrestool >/dev/null || { echo "tools missing: skipped"; exit 77; }
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
"$plovepack" build "$data/setup.dat" --files "$data/files" --stub "$stub" -o setup.exe --quiet || exit 1
fail() { echo "FAIL: $*"; exit 1; }

headers=$(x86_64-w64-mingw32-objdump -p setup.exe) || fail "objdump cannot read the packed stub"
grep -q 'Resource Directory \[.rsrc\]' <<<"$headers" || fail "no resource directory entry"
grep -Eq '^CheckSum[[:space:]]+0*[1-9a-f]' <<<"$headers" || fail "no checksum"
grep -q 'Subsystem.*Windows GUI' <<<"$headers" || fail "subsystem changed"
# The resources are rebuilt in place: no section is added, the base
# relocations, moved in front of them, still list every fixup of the stub,
# and the resource section comes last.
sections() { x86_64-w64-mingw32-objdump -h "$1" | grep -cE '^ +[0-9]+ '; }
[ "$(sections "$stub")" = "$(sections setup.exe)" ] || fail "a section was added"
fixups() { x86_64-w64-mingw32-objdump -p "$1" | grep -E '^Virtual Address: |^\s+reloc '; }
[ -n "$(fixups "$stub")" ] || fail "objdump lists no relocations in the stub"
diff <(fixups "$stub") <(fixups setup.exe) >/dev/null || fail "the relocations changed"
[ "$(x86_64-w64-mingw32-objdump -h setup.exe | awk '/^ +[0-9]+ / { last = $2 } END { print last }')" = .rsrc ] ||
  fail "the resource section is not the last"

before=$(wrestool -l "$stub" | sed -E 's/ ?offset=0x[0-9a-f]+ ?/ /')
after=$(wrestool -l setup.exe | sed -E 's/ ?offset=0x[0-9a-f]+ ?/ /')
size=$("$plovepack" list setup.exe | awk 'END { print $10 }')
payload="--type=10 --name=24356 --language=0 [type=rcdata size=$size]"
grep -qxF -- "$payload" <<<"$after" || fail "payload not listed as '$payload'"
grep -qE -- '^--type=10 --name=24357 --language=0 \[type=rcdata size=[0-9]+\]$' <<<"$after" || fail "no recipe listed"
# The version block is the product's; everything else is the stub's.
grep -qE -- '^--type=16 --name=1 --language=1033 \[type=version size=[0-9]+\]$' <<<"$after" || fail "no version block"
diff <(grep -v -- '--type=16 ' <<<"$before") <(grep -vxF -- "$payload" <<<"$after" | grep -v -- '--name=24357 ' |
  grep -v -- '--type=16 ') || fail "the stub's own resources changed"
wrestool -x --raw --type=10 --name=24356 setup.exe > payload.bin || fail "wrestool cannot extract the payload"
[ "$(stat -c %s payload.bin)" = "$size" ] || fail "extracted payload has the wrong size"
"$plovepack" verify payload.bin >/dev/null || fail "the payload extracted by wrestool does not verify"
# A 64-bit stub: the build says which Program Files the product goes to.
note=$("$plovepack" build "$data/setup.dat" --files "$data/files" --stub "$stub" -o x64-note.exe --no-sign-warning 2>&1 |
  grep '^note:') || fail "no note about Program Files for a 64-bit stub"
grep -q '<Program Files> is Program Files' <<<"$note" || fail "note: $note"
echo "objdump and wrestool agree: $(wc -l <<<"$after") resources, payload $size bytes"
