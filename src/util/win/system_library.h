#pragma once
// DLLs that Windows does not keep among its KnownDLLs (VERSION, MSIMG32,
// COMCTL32) are not imported at load time: Windows would look for them in
// the program's own folder first, which for a downloaded installer is a
// folder anyone may write. They are loaded from System32 by name when first
// needed, through the calls below.

#include "util/win/windows_api.h"
// windows_api.h first
#include <commctrl.h>

// For the whole process: DLLs come from System32 only (or by the full path
// a caller gives), never from the program's folder or the current one; the
// system DLLs that Windows' own DLLs load by name are loaded from System32
// here, before anything can ask for them. The first call of every
// program's entry point.
void RestrictDllSearch();

// The DLL of System32 of that name, loaded once and kept; nullptr when it
// cannot be loaded.
HMODULE SystemLibrary(const wchar_t* name);

// The calls themselves; each fails as the real one does when its DLL or
// function is missing (FALSE, 0).
BOOL SystemGradientFill(HDC dc, TRIVERTEX* vertices, ULONG vertexCount, void* mesh, ULONG meshCount, ULONG mode);
BOOL SystemInitCommonControls(const INITCOMMONCONTROLSEX* controls);
DWORD SystemFileVersionInfoSize(const wchar_t* path, DWORD* handle);
BOOL SystemFileVersionInfo(const wchar_t* path, DWORD handle, DWORD size, void* data);
BOOL SystemVersionValue(const void* block, const wchar_t* subBlock, void** buffer, UINT* length);
