// Loads every dialog template, bitmap and icon of the installer's resources
// from its own executable (which links them in), checks them against what
// the windows expect, opens each template as a window, and prints one line
// per resource. Exit code 0 when all of them are present and as expected,
// 1 otherwise.
//
// With --snapshots DIR each window also paints the framed background with the
// emblem and the close button the way the windows do (mask with SRCAND, then
// colour with SRCPAINT), and a picture of it is saved as DIR\dialog_<id>.bmp.
// The picture holds the window's own surface only, not its controls.
//
//     wine check_resources.exe [--snapshots DIR]

#include "util/win/windows_api.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check_common.h"
#include "resources/resource_ids.h"

namespace {

// ---------------------------------------------------------------------------
// Dialog templates (DLGTEMPLATEEX, as the resource compiler writes them).

struct ExpectedControl {
  int id;
  const wchar_t* className;  // "Button", "Edit", or a registered class name
  const wchar_t* text;
  int x, y, cx, cy;
  DWORD styleOn;   // bits that must be set
  DWORD styleOff;  // bits that must be clear
};

struct ExpectedDialog {
  int id;
  int cx, cy;
  int firstTabStop;  // the control that has the focus when the window opens; 0 for none
  std::vector<ExpectedControl> controls;
};

class TemplateReader {
 public:
  explicit TemplateReader(Bytes bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  WORD Word() {
    if (pos_ + 2 > bytes_.size) return Fail();
    WORD v;
    std::memcpy(&v, bytes_.data + pos_, 2);
    pos_ += 2;
    return v;
  }
  DWORD Dword() {
    WORD low = Word();
    WORD high = Word();
    return low | (static_cast<DWORD>(high) << 16);
  }
  // A string, or an ordinal written as "#n"; empty for none.
  std::wstring SzOrOrd() {
    WORD first = Word();
    if (first == 0) return L"";
    if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
    std::wstring text(1, static_cast<wchar_t>(first));
    for (WORD c = Word(); ok_ && c != 0; c = Word()) text += static_cast<wchar_t>(c);
    return text;
  }
  void Skip(size_t count) { pos_ += count; }
  void AlignDword() { pos_ = (pos_ + 3) & ~static_cast<size_t>(3); }

 private:
  WORD Fail() {
    ok_ = false;
    return 0;
  }
  Bytes bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

std::wstring ClassName(const std::wstring& raw) {
  if (raw == L"#128") return L"Button";
  if (raw == L"#129") return L"Edit";
  if (raw == L"#130") return L"Static";
  return raw;
}

void CheckDialog(const ExpectedDialog& want) {
  char what[32];
  std::snprintf(what, sizeof what, "dialog %d", want.id);
  Bytes bytes = ResourceBytes(MAKEINTRESOURCEW(5) /* RT_DIALOG */, want.id);
  if (!bytes.data) {
    Report(false, what, "missing");
    return;
  }
  TemplateReader in(bytes);
  WORD version = in.Word();
  WORD signature = in.Word();
  in.Dword();  // help id
  DWORD exStyle = in.Dword();
  DWORD style = in.Dword();
  int count = in.Word();
  short x = static_cast<short>(in.Word());
  short y = static_cast<short>(in.Word());
  short cx = static_cast<short>(in.Word());
  short cy = static_cast<short>(in.Word());
  std::wstring menu = in.SzOrOrd();
  std::wstring windowClass = in.SzOrOrd();
  std::wstring title = in.SzOrOrd();
  WORD points = 0;
  std::wstring face;
  if (style & DS_SETFONT) {
    points = in.Word();
    in.Word();  // weight
    in.Word();  // italic, charset
    face = in.SzOrOrd();
  }
  std::string problems;
  if (version != 1 || signature != 0xFFFF) problems += " not-DIALOGEX";
  if (cx != want.cx || cy != want.cy || x != 0 || y != 0) problems += " size";
  const DWORD required = WS_POPUP | WS_VISIBLE | WS_SYSMENU | DS_CENTER | DS_SETFONT;
  if ((style & required) != required || (style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER)) != 0)
    problems += " style";
  if (exStyle != 0 || !menu.empty() || !windowClass.empty() || !title.empty()) problems += " extras";
  if (points != 8 || face != L"MS Shell Dlg") problems += " font";
  if (count != static_cast<int>(want.controls.size())) problems += " control-count";

  std::vector<bool> seen(want.controls.size(), false);
  for (int i = 0; i < count && in.ok(); ++i) {
    in.AlignDword();
    in.Dword();  // help id
    in.Dword();  // extended style
    DWORD itemStyle = in.Dword();
    short ix = static_cast<short>(in.Word());
    short iy = static_cast<short>(in.Word());
    short icx = static_cast<short>(in.Word());
    short icy = static_cast<short>(in.Word());
    int id = static_cast<int>(in.Dword());
    std::wstring cls = ClassName(in.SzOrOrd());
    std::wstring text = in.SzOrOrd();
    in.Skip(in.Word());
    bool matched = false;
    for (size_t k = 0; k < want.controls.size(); ++k) {
      const ExpectedControl& c = want.controls[k];
      if (c.id != id) continue;
      matched = true;
      seen[k] = true;
      if (_wcsicmp(cls.c_str(), c.className) != 0) problems += " class-" + std::to_string(id);
      if (text != c.text) problems += " text-" + std::to_string(id);
      if (ix != c.x || iy != c.y || icx != c.cx || icy != c.cy) problems += " place-" + std::to_string(id);
      if ((itemStyle & c.styleOn) != c.styleOn || (itemStyle & c.styleOff) != 0 ||
          (itemStyle & WS_CHILD) == 0)
        problems += " style-" + std::to_string(id);
    }
    if (!matched) problems += " unexpected-" + std::to_string(id);
  }
  for (size_t k = 0; k < seen.size(); ++k)
    if (!seen[k]) problems += " missing-" + std::to_string(want.controls[k].id);
  if (!in.ok()) problems += " truncated";

  char detail[160];
  std::snprintf(detail, sizeof detail, "%d x %d DLU, %d controls, style 0x%08lX", cx, cy, count,
                static_cast<unsigned long>(style));
  Report(problems.empty(), what, detail + (problems.empty() ? "" : " -" + problems));
}

// ---------------------------------------------------------------------------
// Manifest and version block.

BOOL CALLBACK CountOne(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR user) {
  ++*reinterpret_cast<int*>(user);
  return TRUE;
}

int CountLanguages(const wchar_t* type, int id) {
  int count = 0;
  EnumResourceLanguagesW(nullptr, type, MAKEINTRESOURCEW(id), CountOne,
                         reinterpret_cast<LONG_PTR>(&count));
  return count;
}

void CheckManifest() {
  Bytes bytes = ResourceBytes(MAKEINTRESOURCEW(24) /* RT_MANIFEST */, 1);
  if (!bytes.data) {
    Report(false, "manifest 1", "missing");
    return;
  }
  std::string text(reinterpret_cast<const char*>(bytes.data), bytes.size);
  std::string problems;
  if (text.find("level=\"asInvoker\"") == std::string::npos) problems += " asInvoker";
  if (text.find(">true</dpiAware>") == std::string::npos) problems += " dpiAware";
  if (text.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"") == std::string::npos)
    problems += " common-controls";
  if (text.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a") == std::string::npos ||
      text.find("e2011457-1546-43c5-a5fe-008deee3d3f0") == std::string::npos)
    problems += " supportedOS";
  // Only one manifest may be present (the toolchain's default one must be gone).
  if (CountLanguages(MAKEINTRESOURCEW(24), 1) != 1) problems += " several-manifests";
  Report(problems.empty(), "manifest 1",
         std::to_string(bytes.size) + " bytes" + (problems.empty() ? "" : " -" + problems));
}

std::wstring VersionString(const std::vector<unsigned char>& block, const wchar_t* name) {
  std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || !value || length == 0)
    return L"";
  return static_cast<const wchar_t*>(value);
}

void CheckVersion() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &handle);
  std::vector<unsigned char> block(size ? size : 1);
  if (size == 0 || !GetFileVersionInfoW(path, 0, size, block.data())) {
    Report(false, "version 1", "missing");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  bool hasFixed = VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
                  fixed && length >= sizeof(VS_FIXEDFILEINFO);
  std::wstring product = VersionString(block, L"ProductName");
  std::wstring version = VersionString(block, L"ProductVersion");
  std::wstring expected = std::to_wstring(PLOVE_VERSION_MAJOR) + L"." +
                          std::to_wstring(PLOVE_VERSION_MINOR) + L"." +
                          std::to_wstring(PLOVE_VERSION_PATCH);
  bool ok = hasFixed && product == L"Plove Install" && version == expected &&
            fixed->dwProductVersionMS ==
                ((static_cast<DWORD>(PLOVE_VERSION_MAJOR) << 16) | PLOVE_VERSION_MINOR);
  Report(ok, "version 1", Narrow(product) + " " + Narrow(version));
}


// ---------------------------------------------------------------------------
// Window templates turned into windows: every control must exist with its
// class (the link control needs the version 6 common controls of the
// manifest). With a snapshot folder, each window is painted and saved.

void BlitBitmap(HDC target, int id, int x, int y, int srcX, int srcY, int w, int h, DWORD rop) {
  LoadedBitmap bmp;
  if (!LoadBitmapId(id, bmp)) return;
  HDC dc = CreateCompatibleDC(target);
  HGDIOBJ old = SelectObject(dc, bmp.handle);
  BitBlt(target, x, y, w < 0 ? bmp.info.bmWidth : w, h < 0 ? bmp.info.bmHeight : h, dc, srcX, srcY,
         rop);
  SelectObject(dc, old);
  DeleteDC(dc);
}

void FillRow(HDC dc, int left, int right, int y, int level) {
  RECT row = {left, y, right, y + 1};
  HBRUSH brush = CreateSolidBrush(RGB(level, level, level));
  FillRect(dc, &row, brush);
  DeleteObject(brush);
}

// The framed background as the windows draw it at 100 % scaling.
void PaintFrame(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  int w = client.right, h = client.bottom, band = h / 3;
  for (int y = 0; y < h; ++y) {
    int level = 255;
    if (y <= band) level = 245 + 10 * y / (band ? band : 1);
    if (y >= h - band) level = 255 - 10 * (y - (h - band)) / (band ? band : 1);
    FillRow(dc, 0, w, y, level);
  }
  BlitBitmap(dc, IDB_EMBLEM_MASK_100, (w - 190) / 2, 0, 0, 0, -1, -1, SRCAND);
  BlitBitmap(dc, IDB_EMBLEM_100, (w - 190) / 2, 0, 0, 0, -1, -1, SRCPAINT);
  RECT ten = {10, 0, 0, 0};
  MapDialogRect(window, &ten);
  int x = w - ten.left - 22 - 2;
  BlitBitmap(dc, IDB_CLOSE_100, x, 1, 0, 22, 22, 22, SRCAND);
  BlitBitmap(dc, IDB_CLOSE_100, x, 1, 0, 0, 22, 22, SRCPAINT);
}

INT_PTR CALLBACK SnapshotProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      RECT r;
      GetWindowRect(window, &r);
      SetWindowRgn(window, CreateRoundRectRgn(0, 0, r.right - r.left, r.bottom - r.top, 40, 40), TRUE);
      return TRUE;
    }
    case WM_ERASEBKGND:
      PaintFrame(window, reinterpret_cast<HDC>(wParam));
      SetWindowLongPtrW(window, DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
  }
  return FALSE;
}

bool SaveWindowPicture(HWND window, const std::wstring& path) {
  RECT r;
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib && bits) {
    HGDIOBJ old = SelectObject(dc, dib);
    // Ask the window to print itself (its own surface: the framed background
    // with the emblem and close button; the controls are left out).
    PrintWindow(window, dc, 0);
    GdiFlush();
    SelectObject(dc, old);
    BITMAPFILEHEADER head = {};
    DWORD size = static_cast<DWORD>(w) * h * 4;
    head.bfType = 0x4D42;
    head.bfOffBits = sizeof head + sizeof info.bmiHeader;
    head.bfSize = head.bfOffBits + size;
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
      ok = std::fwrite(&head, sizeof head, 1, f) == 1 &&
           std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
           std::fwrite(bits, size, 1, f) == 1;
      ok = std::fclose(f) == 0 && ok;
    }
  }
  if (dib) DeleteObject(dib);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return ok;
}

void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(20);
  }
}

void CheckDialogWindow(const ExpectedDialog& want, const std::wstring& snapshots) {
  char what[32];
  std::snprintf(what, sizeof what, "window %d", want.id);
  HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(want.id), nullptr,
                                   SnapshotProc, 0);
  if (!window) {
    Report(false, what, "not created, error " + std::to_string(GetLastError()));
    return;
  }
  std::string problems;
  for (const ExpectedControl& c : want.controls) {
    HWND item = GetDlgItem(window, c.id);
    wchar_t cls[64] = {};
    if (!item || !GetClassNameW(item, cls, 64) || _wcsicmp(cls, c.className) != 0)
      problems += " control-" + std::to_string(c.id);
  }
  HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
  int firstId = first ? GetDlgCtrlID(first) : 0;
  if (firstId != want.firstTabStop) problems += " first-tab-stop-" + std::to_string(firstId);
  std::string detail = std::to_string(want.controls.size()) + " controls created, focus on " +
                       std::to_string(firstId);
  if (!snapshots.empty()) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpFor(400);
    std::wstring path = snapshots + L"\\dialog_" + std::to_wstring(want.id) + L".bmp";
    if (SaveWindowPicture(window, path)) detail += ", saved " + Narrow(path);
    else problems += " snapshot";
  }
  DestroyWindow(window);
  PumpFor(50);
  Report(problems.empty(), what, detail + (problems.empty() ? "" : " -" + problems));
}

}  // namespace

int main(int argc, char** argv) {
  std::wstring snapshots;
  if (argc == 3 && std::strcmp(argv[1], "--snapshots") == 0) {
    for (const char* p = argv[2]; *p; ++p) snapshots += static_cast<wchar_t>(*p);
    CreateDirectoryW(snapshots.c_str(), nullptr);
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
  bool commonControls = InitCommonControlsEx(&controls) != FALSE;
  Report(commonControls, "common controls", "link and progress classes registered");
  const DWORD kVisible = WS_VISIBLE;
  const DWORD kTab = WS_TABSTOP;
  const ExpectedDialog dialogs[] = {
      {IDD_INSTALL, 399, 238, IDC_INSTALL,
       {{IDC_PROGRESS, L"msctls_progress32", L"", 25, 116, 348, 14, WS_BORDER, kVisible},
        {IDC_INSTALL, L"Button", L"Install", 320, 211, 54, 16, kVisible | kTab, BS_DEFPUSHBUTTON},
        {IDC_CANCEL_INSTALL, L"Button", L"Cancel", 263, 211, 54, 16, kVisible | kTab, BS_DEFPUSHBUTTON},
        {IDC_INSTALL_FOLDER, L"Edit", L"", 25, 116, 306, 14,
         kVisible | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, ES_MULTILINE},
        {IDC_CHOOSE_FOLDER, L"Button", L"Choose", 331, 116, 42, 15, kVisible | kTab, 0},
        {IDC_LICENSE_LINK, L"SysLink", L"<a>Read License Agreement</a>", 27, 171, 108, 14, kTab,
         kVisible},
        {IDC_SCOPE_ALL_USERS, L"Button", L"Install for all users (needs administrator)", 25, 74, 250, 10,
         kTab | WS_GROUP | BS_AUTORADIOBUTTON, kVisible},
        {IDC_SCOPE_JUST_ME, L"Button", L"Install just for me", 25, 86, 250, 10, BS_AUTORADIOBUTTON,
         kVisible}}},
      {IDD_LICENSE, 399, 268, IDOK,
       {{IDOK, L"Button", L"Close", 175, 243, 50, 14, kVisible | kTab | BS_DEFPUSHBUTTON, 0},
        {IDC_LICENSE_TEXT, L"Edit", L"", 25, 39, 348, 193,
         kVisible | kTab | WS_BORDER | ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOHSCROLL,
         WS_HSCROLL}}},
      {IDD_CONTAINER_INSTALL, 316, 144, IDCANCEL,
       {{IDCANCEL, L"Button", L"Cancel", 133, 123, 50, 14, kVisible | kTab, 0}}},
      {IDD_UNINSTALL, 399, 238, IDOK,
       {{IDOK, L"Button", L"Uninstall", 320, 211, 54, 16, kVisible | kTab | BS_DEFPUSHBUTTON, 0},
        {IDCANCEL, L"Button", L"Cancel", 263, 211, 54, 16, kVisible | kTab, BS_DEFPUSHBUTTON},
        {IDC_PROGRESS, L"msctls_progress32", L"", 25, 116, 348, 14, 0, kVisible}}},
      {IDD_ELEVATION_FOCUS, 316, 144, 0, {}},
      {IDD_REBOOTING, 316, 144, IDC_CANCEL_REBOOT,
       {{IDC_REBOOT_NOW, L"Button", L"Reboot Now", 92, 113, 60, 15, kVisible | kTab, BS_DEFPUSHBUTTON},
        {IDC_CANCEL_REBOOT, L"Button", L"Cancel Reboot", 163, 113, 60, 15,
         kVisible | kTab | BS_DEFPUSHBUTTON, 0}}},
  };
  for (const ExpectedDialog& d : dialogs) CheckDialog(d);
  for (const ExpectedDialog& d : dialogs) CheckDialogWindow(d, snapshots);

  CheckCloseStrip(IDB_CLOSE_100, 22);
  CheckCloseStrip(IDB_CLOSE_125, 28);
  CheckCloseStrip(IDB_CLOSE_150, 33);
  CheckCloseStrip(IDB_CLOSE_200, 44);
  CheckCloseStrip(IDB_CLOSE_300, 66);

  CheckEmblem(IDB_EMBLEM_100, IDB_EMBLEM_MASK_100, 190, 25);
  CheckEmblem(IDB_EMBLEM_125, IDB_EMBLEM_MASK_125, 238, 31);
  CheckEmblem(IDB_EMBLEM_150, IDB_EMBLEM_MASK_150, 285, 38);
  CheckEmblem(IDB_EMBLEM_200, IDB_EMBLEM_MASK_200, 380, 50);
  CheckEmblem(IDB_EMBLEM_300, IDB_EMBLEM_MASK_300, 570, 75);

  CheckIcon(IDI_APPLICATION_ICON, "application", IconSizes::Both);
  CheckIcon(IDI_CHECK_TICKED, "ticked box", IconSizes::Row);
  CheckIcon(IDI_CHECK_TICKED_GREY, "ticked box, greyed", IconSizes::Row);
  CheckIcon(IDI_CHECK_EMPTY, "empty box", IconSizes::Row);
  CheckIcon(IDI_CHECK_EMPTY_GREY, "empty box, greyed", IconSizes::Row);
  CheckIcon(IDI_RUN_PROGRAM, "run program", IconSizes::Row);
  CheckIcon(IDI_RESTART, "restart", IconSizes::Both);
  CheckIcon(IDI_SHORTCUT, "create icon", IconSizes::Row);
  CheckIcon(IDI_SUCCESS, "success", IconSizes::Status);
  CheckIcon(IDI_FAILURE, "failure", IconSizes::Status);
  CheckIcon(IDI_UNINSTALL, "uninstall", IconSizes::Status);

  CheckManifest();
  CheckVersion();

  std::printf("%s: %d problem%s\n", FailureCount() ? "FAILED" : "passed", FailureCount(), FailureCount() == 1 ? "" : "s");
  return FailureCount() ? 1 : 0;
}

