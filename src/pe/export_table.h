#pragma once
// The names an image exports: whether a DLL registers itself, as an
// installer calls "DllRegisterServer" on every DLL or OCX it places.

#include <string>

#include "pe/byte_source.h"
#include "pe/pe_headers.h"
#include "pe/pe_status.h"

// Ok with *found set when the export directory names name (exact case, as
// GetProcAddress looks it up); Ok with *found clear when the image exports
// nothing or not that name. Corrupt when the directory or a name lies
// outside the image.
PeStatus FindExportedName(const ByteSource& source, const PeHeaders& headers, const std::string& name, bool* found);

// True when the image in source exports "DllRegisterServer": the installer
// then registers it as a COM server. False for anything else, an image that
// cannot be read included (the installer cannot register that either).
bool RegistersItself(const ByteSource& source);
