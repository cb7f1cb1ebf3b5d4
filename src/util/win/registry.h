#pragma once
// Registry access. Writes open their key with RegCreateKeyExW, so missing
// keys are created; reads, enumerations and deletions open only what is
// there and create nothing. Always in the 32-bit view: the x86_64 build
// adds KEY_WOW64_32KEY so it reads and writes the same keys as the 32-bit
// program does on 64-bit Windows. Nothing is reported to the user; failures
// give an empty string or false.

#include "util/string_list.h"
#include "util/wide_string.h"
#include "util/win/windows_api.h"

// REG_SZ or REG_EXPAND_SZ (not expanded); empty on any failure or other type.
WideString ReadRegistryString(HKEY root, const WideString& keyPath, const WideString& valueName);
bool WriteRegistryValue(HKEY root, const WideString& keyPath, const WideString& valueName, DWORD type,
                        const void* bytes, DWORD byteCount);
// REG_SZ including the terminating zero.
bool WriteRegistryString(HKEY root, const WideString& keyPath, const WideString& valueName,
                         const WideString& text);
// Clears list, then adds the names of the key's direct subkeys. An empty
// keyPath enumerates the root itself.
void EnumerateSubkeys(HKEY root, const WideString& keyPath, StringList& list);
// Deletes parentPath\subkeyName with everything below it; an empty subkey
// name deletes nothing.
bool DeleteRegistryTree(HKEY root, const WideString& parentPath, const WideString& subkeyName);
// Deletes one value (the uninstaller removes the values it wrote).
bool DeleteRegistryValue(HKEY root, const WideString& keyPath, const WideString& valueName);

// Called before every WriteRegistryValue (the run's journal notes the old
// value); nullptr: none.
using RegistryWriteObserver = void (*)(HKEY root, const WideString& keyPath, const WideString& valueName);
void SetRegistryWriteObserver(RegistryWriteObserver observer);

// The view flag added to every access mask: KEY_WOW64_32KEY in the x86_64
// build, 0 in the 32-bit build (which gets the 32-bit view by itself).
REGSAM RegistryViewFlag();
