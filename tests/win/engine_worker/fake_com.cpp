// A self-registering DLL for the tests: its registration exports append
// "register <dll path>" or "unregister <dll path>" to the file named by
// PLOVE_FAKE_COM_LOG.
#include <windows.h>

namespace {

HMODULE self = nullptr;

HRESULT Log(const char* word) {
  wchar_t log[1024];
  DWORD n = GetEnvironmentVariableW(L"PLOVE_FAKE_COM_LOG", log, 1024);
  if (n == 0 || n >= 1024) return S_OK;
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return S_OK;
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(self, path, MAX_PATH);
  char line[MAX_PATH * 3 + 32];
  int at = lstrlenA(word);
  lstrcpyA(line, word);
  line[at++] = ' ';
  int m = WideCharToMultiByte(CP_UTF8, 0, path, -1, line + at, MAX_PATH * 3, nullptr, nullptr);
  if (m > 0) at += m - 1;
  line[at++] = '\n';
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(at), &written, nullptr);
  CloseHandle(file);
  return S_OK;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() { return Log("register"); }
extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return Log("unregister"); }
