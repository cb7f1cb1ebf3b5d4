#pragma once
// The system folder of a 64-bit product installed by the 32-bit program on
// 64-bit Windows. Windows shows a 32-bit process its 32-bit system folder
// (SysWOW64) under the name of the system folder; the files of a 64-bit
// install (State().Install64Bit) that go there belong in the real one. Paths
// keep their text ("C:\Windows\system32\..."): the record, the registry and
// the 64-bit installer name them so. Only the file operations on them see the
// real folder, with the redirection off for the thread while they run.

#include "util/wide_string.h"

// True when path lies in the system folder, the process is a 32-bit one on
// 64-bit Windows and State().Install64Bit is set. False in the x86_64 build,
// which sees the real folder anyway.
bool WantsNativeSystemFolder(const WideString& path);

// Turns the redirection off for this thread while it lives, when
// WantsNativeSystemFolder(path); does nothing otherwise. Load no library in
// between: the loader would look in the 64-bit folder too.
class NativeSystemFolderScope {
 public:
  explicit NativeSystemFolderScope(const WideString& path);
  ~NativeSystemFolderScope();
  NativeSystemFolderScope(const NativeSystemFolderScope&) = delete;
  NativeSystemFolderScope& operator=(const NativeSystemFolderScope&) = delete;

 private:
  void* previous_ = nullptr;
  bool active_ = false;
  bool wasOff_ = false;
};

// The regsvr32 of the product's bitness: the 64-bit one for a 64-bit install
// by the 32-bit program on 64-bit Windows (through the "Sysnative" alias, or
// by its own name inside a NativeSystemFolderScope that has the redirection
// off), otherwise the Windows folder's "system32\regsvr32.exe".
WideString RegistrationProgram();
