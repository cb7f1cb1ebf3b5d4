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

void dlgLicense::_CmdClose::OnClick(int) { window_.CloseDialog(1); }

dlgLicense::dlgLicense() : close_(*this) {}

dlgLicense::~dlgLicense() { Unbind(); }

INT_PTR dlgLicense::Run(HWND owner) { return RunDialog(IDD_LICENSE, owner, true); }

void dlgLicense::OnCreate() {
  SetWindowTextW(Window(), State().InstallerTitle.W());
  frame_.Attach(*this);
  PaintTitles();
  ShowLicenceText();
  AddCloseButton();
}

void dlgLicense::PaintTitles() {
  HDC dc = frame_.Background().DC();
  TextFont font;
  const WideString installer(u"Installer");
  font.Create(nullptr, u"Tahoma", ScaleForDpi(21), kBlack);
  font.DrawString(dc, (Width() - font.TextWidth(installer, false, -1, dc)) / 2, 2, installer);
  font.Create(nullptr, u"Tahoma", ScaleForDpi(26), kBlack);
  font.DrawString(dc, DluToPixelsX(25), DluToPixelsY(20), WideString(u"License"));
  frame_.StartPage();
}

void dlgLicense::ShowLicenceText() { SetDlgItemTextW(Window(), IDC_LICENSE_TEXT, ReadLicenceText().W()); }

void dlgLicense::AddCloseButton() {
  buttons_.Start(Window());
  HBITMAP strip = LoadScreenBitmap(PickByScale(IDB_CLOSE_100, IDB_CLOSE_150, IDB_CLOSE_200, IDB_CLOSE_125));
  BITMAP info{};
  if (strip) GetObjectW(strip, sizeof info, &info);
  ButtonRecord record;
  record.x = Width() - DluToPixelsX(10) - info.bmWidth / 4 - 2;
  record.y = 1;
  record.toolTipText = u"Close";
  record.background = &frame_.Background();
  buttons_.AddWithStrip(close_, record, strip, Window());
}

void dlgLicense::OnOk() { CloseDialog(1); }

void dlgLicense::OnClose() { CloseDialog(0); }

void dlgLicense::OnDestroy() {
  buttons_.Stop();
  handled_ = false;
}

void dlgLicense::OnEraseBackground(HDC dc) { frame_.Erase(dc); }

void dlgLicense::OnMouseDown(int, int, UINT, WPARAM) { frame_.MouseDown(Window()); }

void dlgLicense::OnMouseUp(int, int, UINT, WPARAM) { frame_.MouseUp(); }

void dlgLicense::OnMouseMove(int, int, WPARAM) { frame_.MouseMove(*this); }

HBRUSH dlgLicense::OnCtlColorStatic(HDC, HWND) { return frame_.Brush(); }

HBRUSH dlgLicense::OnCtlColorDialog(HDC) { return frame_.Brush(); }

LRESULT dlgLicense::PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  return buttons_.Filter(window, message, wParam, lParam, handled);
}
