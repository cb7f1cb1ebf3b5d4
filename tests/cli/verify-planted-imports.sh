# plovepack verify names every DLL a stub imports at load time that is not
# one of Windows' KnownDLLs (Windows looks for it in the installer's folder
# first) and fails; a stub importing only KnownDLLs is fine. The stubs are
# copies of $STUB given an import table in their code section.
stub_importing() {  # stub_importing OUT DLL...
  python3 - "$STUB" "$@" <<'PY' || exit
import struct, sys
source, out, dlls = sys.argv[1], sys.argv[2], sys.argv[3:]
image = bytearray(open(source, 'rb').read())
u16 = lambda at: struct.unpack_from('<H', image, at)[0]
u32 = lambda at: struct.unpack_from('<I', image, at)[0]
coff = u32(0x3C) + 4
optional = coff + 20
section = optional + u16(coff + 16)          # the first section: the code
rva, raw = u32(section + 12), u32(section + 20)
# Descriptors first (one per DLL and a zero one), then each DLL's thunks,
# hint/name and name.
table = bytearray(20 * (len(dlls) + 1))
for i, dll in enumerate(dlls):
    at = len(table)
    thunks = at
    hint = at + 8
    name = hint + 16
    entry = bytearray(struct.pack('<II', rva + hint, 0)) + struct.pack('<H', 0) + b'AnyExport\0'
    entry += bytes(16 - 12) + dll.encode() + b'\0'
    table += entry
    struct.pack_into('<IIIII', table, 20 * i, rva + thunks, 0, 0, rva + name, rva + thunks)
image[raw:raw + len(table)] = table
struct.pack_into('<II', image, optional + 96 + 8, rva, 20 * (len(dlls) + 1))
open(out, 'wb').write(image)
PY
}
pack() {  # pack STUB
  rm -f setup.exe
  "$PLOVEPACK" build "$DATA/setup.dat" --files "$DATA/files" --stub "$1" -o setup.exe --quiet 2>/dev/null
}
stub_importing known.exe KERNEL32.dll user32.DLL
pack known.exe && "$PLOVEPACK" verify setup.exe
stub_importing planted.exe KERNEL32.dll MSIMG32.dll version.dll
pack planted.exe && "$PLOVEPACK" verify setup.exe
