#!/usr/bin/env bash
# runs-32bit.sh: exit 0 when this machine runs 32-bit x86 programs, 1 when
# it does not. Runs a 96-byte static i386 Linux program (exit(42) through
# int 0x80) and looks at its exit code: only a kernel with 32-bit emulation
# runs it, and only then can Wine run 32-bit Windows programs.
set -u
folder=$(mktemp -d "${TMPDIR:-/tmp}/plove-i386-XXXXXX") || exit 1
trap 'rm -rf "$folder"' EXIT
probe=$folder/probe
# ELF header, one loadable segment at 0x08048000, then
#   mov eax, 1; mov ebx, 42; int 0x80
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' > "$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[ $? = 42 ]
