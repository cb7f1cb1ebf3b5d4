#include "app/win/log_hand_over.h"

#include "restart/win/parent_process.h"
#include "util/win/install_log.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

namespace {

const WChar kLogHandleOption[] = u"loghandle";

}  // namespace

WideString LogHandleParameter() {
  HANDLE log = InstallLogHandle();
  if (log == nullptr) return WideString();
  return u" --" + WideString(kLogHandleOption) + u"=" +
         WideString::FromUnsigned(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(log)));
}

bool AdoptParentLog(const OptionList& options, const WideString& path, const WideString& role,
                    const WideString& commandLine) {
  const int index = FindOption(options, WideString(kLogHandleOption));
  if (index < 0) return false;
  const int64_t value = options.values.Item(index).ParseInteger();
  if (value <= 0) return false;
  ScopedKernelHandle parent(OpenParentProcess(PROCESS_DUP_HANDLE));
  if (!parent) return false;
  HANDLE mine = nullptr;
  if (!DuplicateHandle(parent.Get(), reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)), GetCurrentProcess(),
                       &mine, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return false;
  }
  return AdoptInstallLog(mine, path, role, commandLine);
}
