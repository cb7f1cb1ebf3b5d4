#include "wizard/win/license_window.h"

#include <vector>

#include "app/install_state.h"
#include "payload/win/payload_context.h"
#include "resources/resource_ids.h"
#include "ui/win/dpi.h"
#include "ui/win/text_font.h"
#include "util/win/disk_file.h"

namespace {

constexpr COLORREF kBlack = 0x000000;
// More text than any licence holds; a larger file is shown up to here, so the
// buffer size cannot wrap in the 32-bit program.
constexpr uint64_t kLongestLicence = 64u * 1024 * 1024;

// The licence as the payload carries it, converted from the ANSI code page;
// a zero byte ends it. Empty when there is no such file.
WideString ReadLicenceText() {
  PayloadContext* payload = PublishedPayload();
  if (payload == nullptr) return WideString();
  DiskFile file;
  if (!file.Open(payload->PayloadFolder() + u"setup.lic", GENERIC_READ, OPEN_EXISTING, false)) return WideString();
  uint64_t size = file.Size();
  if (size > kLongestLicence) size = kLongestLicence;
  std::vector<char> bytes(static_cast<size_t>(size) + 1, '\0');
  const DWORD read = file.Read(bytes.data(), static_cast<DWORD>(size));
  bytes[read] = '\0';
  return WideString::FromAnsi(bytes.data());
}

}  // namespace

dlgLicense::dlgLicense() = default;

dlgLicense::~dlgLicense() { Unbind(); }

INT_PTR dlgLicense::Run(HWND owner) { return RunDialog(IDD_LICENSE, owner, true); }

void dlgLicense::OnCreate() {
  SetWindowTextW(Window(), State().InstallerTitle.W());
  AttachFrame(u"Installer");
  {
    MutexGuard guard(Frame().PaintLock());
    TextFont font;
    font.Create(nullptr, u"Tahoma", ScaleForDpi(26), kBlack);
    DrawLabel(Frame().Background().DC(), font, DluToPixelsX(25), DluToPixelsY(20), u"License");
    StartPage();
  }
  ShowLicenceText();
  AddCloseButton();
}

void dlgLicense::ShowLicenceText() { SetDlgItemTextW(Window(), IDC_LICENSE_TEXT, ReadLicenceText().W()); }

void dlgLicense::OnCloseButton() { CloseDialog(1); }

void dlgLicense::OnOk() { CloseDialog(1); }

void dlgLicense::OnClose() { CloseDialog(0); }
