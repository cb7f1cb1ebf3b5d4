// The toolkit scene: one borderless window in the install window's
// template, showing the framed background, the title texts, the close button
// in each of its states, a tool tip, a check list with ticked, empty and
// greyed rows and a progress bar. Its picture waits for the tool tip.

#include "util/win/windows_api.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "scenes.h"
#include "ui/win/borderless_frame.h"
#include "ui/win/dpi.h"
#include "ui/win/text_font.h"
#include "ui/win/tool_tip.h"
#include "ui/win/value_list.h"
#include "ui/win/xbutton.h"
#include "ui/win/xwindow.h"
#include "util/string_list.h"

namespace {

// A close button held in one visual state for the picture.
class StillButton : public XButton {
 public:
  int shownState = kButtonNormal;
};

class GalleryWindow : public XWindow {
 public:
  GalleryWindow() = default;
  ~GalleryWindow() override {
    Unbind();
    for (HICON icon : icons_)
      if (icon) DestroyIcon(icon);
  }

  void OnCreate() override {
    SetWindowTextW(Window(), L"Toolkit gallery");
    frame_.Attach(*this);
    for (int id : {IDC_INSTALL_FOLDER, IDC_CHOOSE_FOLDER, IDC_INSTALL}) ShowWindow(DialogItem(id), SW_HIDE);
    HWND progress = DialogItem(IDC_PROGRESS);
    ShowWindow(progress, SW_SHOW);
    SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(progress, PBM_SETPOS, 60, 0);

    int stripId = PickByScale(IDB_CLOSE_100, IDB_CLOSE_150, IDB_CLOSE_200, IDB_CLOSE_125);
    OffscreenBitmap strip;
    LoadBitmapResource(stripId, strip);
    int frameWidth = strip.Width() / 4;

    group_.Start(Window());
    ButtonRecord corner;
    corner.x = Width() - DluToPixelsX(10) - frameWidth - 2;
    corner.y = 1;
    corner.toolTipText = u"Close";
    corner.background = &frame_.Background();
    group_.Add(close_, corner, stripId, Window());

    // The four states side by side under the list, each with its name.
    const char16_t* names[] = {u"normal", u"pressed", u"hover", u"focus"};
    int y = DluToPixelsY(211);
    for (int i = 0; i < 4; ++i) {
      ButtonRecord record;
      record.x = DluToPixelsX(25) + i * DluToPixelsX(50);
      record.y = y;
      record.background = &frame_.Background();
      still_[i].shownState = i == 3 ? kButtonNormal : i;
      still_[i].Create(record, LoadScreenBitmap(stripId), Window());
      labels_.Add(WideString(names[i]), record.x + frameWidth + ScaleForDpi(4));
    }
    labelY_ = y;

    int iconSize = OptionIconSize();
    const int iconIds[] = {IDI_CHECK_TICKED, IDI_CHECK_EMPTY, IDI_CHECK_TICKED_GREY, IDI_CHECK_EMPTY_GREY,
                           IDI_RESTART, IDI_SHORTCUT, IDI_RUN_PROGRAM};
    for (int i = 0; i < 7; ++i) icons_[i] = LoadIconAtSize(iconIds[i], iconSize);
    list_.SetStateIcons(icons_[0], icons_[1], icons_[2], icons_[3]);
    list_.Create(Window());
    list_.UseThinBorder();
    struct {
      const char16_t* name;
      int icon;
      bool ticked;
      bool greyed;
    } rows[] = {{u"Restart Computer [Required to Finalize Setup]", 4, true, false},
                {u"Run Program: Gallery Tool", 6, false, false},
                {u"Create Icon: Read Me", 5, true, true},
                {u"Run Program: Release Notes", 6, false, true}};
    for (const auto& description : rows) {
      ValueRow row;
      row.kind = kRowCheck;
      row.name = description.name;
      row.value = description.ticked ? u"1" : u"0";
      row.disabled = description.greyed;
      row.icon = icons_[description.icon];
      row.iconPosition = 6;
      row.textPosition = 48;
      list_.AddRow(row);
    }

    PaintPage();
    // The cursor rests on the corner button: hover frame, then its tool tip.
    POINT centre{corner.x + frameWidth / 2, corner.y + frameWidth / 2};
    ClientToScreen(Window(), &centre);
    SetCursorPos(centre.x, centre.y);
    AddTimer(100);
  }

  void OnDestroy() override {
    group_.Stop();
    for (StillButton& button : still_) button.Destroy();
    list_.Destroy();
    handled_ = false;
  }

  void OnTimer(UINT, int) override {
    if (focusShown_) return;
    // After WM_INITDIALOG the dialog manager has put the focus on its first
    // control; the focus frame shows once Tab has been pressed in the button.
    focusShown_ = true;
    SetFocus(still_[3].Control());
    SendMessageW(still_[3].Control(), WM_KEYUP, VK_TAB, 0);
  }

  // The picture waits for the corner button's tool tip.
  bool ToolTipShown() {
    XToolTip* tip = close_.ToolTip();
    return tip && tip->IsShown();
  }

  void OnEraseBackground(HDC dc) override { frame_.Erase(dc); }
  HBRUSH OnCtlColorStatic(HDC, HWND) override { return frame_.Brush(); }
  HBRUSH OnCtlColorDialog(HDC) override { return frame_.Brush(); }
  void OnMouseDown(int, int, UINT, WPARAM) override { frame_.MouseDown(Window()); }
  void OnMouseMove(int, int, WPARAM) override { frame_.MouseMove(*this); }
  void OnMouseUp(int, int, UINT, WPARAM) override { frame_.MouseUp(); }
  void OnCommand(int id, HWND, int) override {
    if (id == IDC_CANCEL_INSTALL || id == IDCANCEL) CloseDialog(0);
  }

  LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
    if (message == WM_DRAWITEM) {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      for (StillButton& button : still_) {
        if (item && button.Control() == item->hwndItem) {
          button.Paint(button.shownState, item->hDC);
          handled = true;
          return TRUE;
        }
      }
    }
    LRESULT result = group_.Filter(window, message, wParam, lParam, handled);
    if (handled) return result;
    return list_.Filter(window, message, wParam, lParam, handled);
  }

 private:
  void PaintPage() {
    frame_.StartPage();
    HDC dc = frame_.Page().DC();
    int width = Width();
    TextFont font;
    auto centred = [&](const WideString& text, int size, int y, bool bold) {
      font.Create(nullptr, u"Tahoma", ScaleForDpi(size), 0x000000, bold);
      font.DrawString(dc, (width - font.TextWidth(text, false, -1, dc)) / 2, y, text);
    };
    centred(u"Installer", 21, 2, false);
    centred(u"Installing", 30, DluToPixelsY(35), false);
    centred(u"Gallery Tool 1.0", 18, DluToPixelsY(57), false);
    font.Create(nullptr, u"Tahoma", ScaleForDpi(14), 0x000000);
    WideString scale = WideString::Format(u"Display scale %d %% (%d DPI)", DisplayScalePercent(), ScreenDpi());
    font.DrawString(dc, DluToPixelsX(25), DluToPixelsY(103), scale);
    WideString action(u"Copying: C:\\Program Files\\Gallery Tool\\a rather long file name for the ellipsis test.dll");
    int room = DluToPixelsX(348) - font.TextWidth(scale, false, -1, dc) - ScaleForDpi(20);
    WideString fitted = font.FitWithEllipsis(room, action, dc);
    font.DrawString(dc, DluToPixelsX(373) - font.TextWidth(fitted, false, -1, dc), DluToPixelsY(103), fitted);
    font.Create(nullptr, u"Tahoma", ScaleForDpi(11), 0x606060);
    for (int i = 0; i < labels_.Count(); ++i) {
      int h = font.TextHeight(labels_.Item(i), false, dc);
      font.DrawString(dc, labels_.Item(i).Tag(), labelY_ + (DluToPixelsY(16) - h) / 2, labels_.Item(i));
    }
    Invalidate();
  }

  BorderlessFrame frame_;
  ButtonGroup group_;
  XButton close_;
  StillButton still_[4];
  XValueList list_;
  HICON icons_[7]{};
  StringList labels_;
  int labelY_ = 0;
  bool focusShown_ = false;
};

}  // namespace

void OpenToolkitScene(SceneRun& run) {
  GalleryWindow window;
  run.ReadyWhen([&] { return window.ToolTipShown(); });
  window.RunDialog(IDD_INSTALL, nullptr, true);
}

