#pragma once
// The program's own file, opened once at the start and held for the life
// of the process with read sharing only: nobody can then rename, replace,
// delete or change it, so what the program reads of itself later (the
// payload's checksum, the uninstaller it writes) is the file it was started
// from, whoever can write the folder it sits in.

#include <cstdint>

#include "util/win/windows_api.h"

// Opens the file of the process's main module; true when it is held (also
// when it was already). The first thing every program does after
// RestrictDllSearch.
bool HoldOwnImage();
// The held file; INVALID_HANDLE_VALUE when HoldOwnImage failed or was not
// called.
HANDLE OwnImageFile();
// Reads size bytes at offset of the held file; false unless every byte was
// read. Safe from any thread (the file position is not used).
bool ReadOwnImage(uint64_t offset, void* buffer, DWORD size);
