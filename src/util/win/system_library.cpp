#include "util/win/system_library.h"

namespace {

template <typename Call>
Call Find(const wchar_t* library, const char* name) {
  HMODULE module = SystemLibrary(library);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

void RestrictDllSearch() {
  // Present from Windows 8 on, and on Windows 7 with its update KB2533623.
  using SetDefaultCall = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultCall>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Takes the current folder out of the search where the above is missing.
  SetDllDirectoryW(L"");
  // System DLLs load some others by name, by the process's search path of
  // old rather than the one just set (a theme DLL delay-loading msimg32,
  // say). A module already loaded is found by its name first: so the ones
  // they ask for are loaded now, from System32. One that a version of
  // Windows lacks is simply not there.
  static const wchar_t* const kLoadedByName[] = {
      L"msimg32.dll", L"version.dll",  L"uxtheme.dll", L"dwmapi.dll",  L"userenv.dll",  L"profapi.dll",
      L"propsys.dll", L"cryptbase.dll", L"oleacc.dll", L"apphelp.dll", L"ntmarta.dll", L"winmm.dll",
  };
  for (const wchar_t* name : kLoadedByName) SystemLibrary(name);
}

HMODULE SystemLibrary(const wchar_t* name) {
  HMODULE module = GetModuleHandleW(name);
  if (module != nullptr) return module;
  // Loaded for the life of the process: the handle is never freed.
  module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A system without the search flags: by the full path of System32.
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) return nullptr;
    lstrcatW(system, L"\\");
    lstrcatW(system, name);
    module = LoadLibraryExW(system, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module;
}

BOOL SystemGradientFill(HDC dc, TRIVERTEX* vertices, ULONG vertexCount, void* mesh, ULONG meshCount, ULONG mode) {
  using Call = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
  static const Call call = Find<Call>(L"msimg32.dll", "GradientFill");
  return call != nullptr && call(dc, vertices, vertexCount, mesh, meshCount, mode);
}

BOOL SystemInitCommonControls(const INITCOMMONCONTROLSEX* controls) {
  using Call = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  static const Call call = Find<Call>(L"comctl32.dll", "InitCommonControlsEx");
  return call != nullptr && call(controls);
}

DWORD SystemFileVersionInfoSize(const wchar_t* path, DWORD* handle) {
  using Call = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  static const Call call = Find<Call>(L"version.dll", "GetFileVersionInfoSizeW");
  return call != nullptr ? call(path, handle) : 0;
}

BOOL SystemFileVersionInfo(const wchar_t* path, DWORD handle, DWORD size, void* data) {
  using Call = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  static const Call call = Find<Call>(L"version.dll", "GetFileVersionInfoW");
  return call != nullptr && call(path, handle, size, data);
}

BOOL SystemVersionValue(const void* block, const wchar_t* subBlock, void** buffer, UINT* length) {
  using Call = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  static const Call call = Find<Call>(L"version.dll", "VerQueryValueW");
  return call != nullptr && call(block, subBlock, buffer, length);
}
