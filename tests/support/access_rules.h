#pragma once
// The access rules of a file or folder as SDDL text, for tests that read
// back what the run gave what it created. Wine keeps no rules of its own:
// it derives them from the Unix mode, so others' access shows as ";;;WD)".

#include "util/wide_string.h"
#include "util/win/windows_api.h"
// windows_api.h first
#include <aclapi.h>
#include <sddl.h>

inline WideString DaclTextOf(const WideString& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.W(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return WideString();
  }
  wchar_t* text = nullptr;
  WideString result;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &text, nullptr)) {
    result = WideString(text);
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}
