#include "ui/win/value_list.h"

#include <shellapi.h>

#include <algorithm>

#include "ui/win/dpi.h"
#include "ui/win/gdi_objects.h"

namespace {

constexpr COLORREF kDisabledText = 0xC0C0C0;
constexpr COLORREF kSelectedBack = 0xF7E6D5;  // a pale blue band
constexpr COLORREF kSelectedFrame = 0xE0B080;

// Dialog units of window to pixels, one value at a time: MapDialogRect of a
// rectangle whose left (horizontal) or top (vertical) is the value.
int DluToPixels(HWND window, int value, bool horizontal) {
  RECT rect{1, 1, 1, 1};
  (horizontal ? rect.left : rect.top) = value;
  MapDialogRect(window, &rect);
  return horizontal ? rect.left : rect.top;
}

}  // namespace

XValueList::XValueList() = default;

XValueList::~XValueList() { Destroy(); }

bool XValueList::Create(HWND owner, int x, int y, int width, int height) {
  Destroy();
  owner_ = owner;
  rowHeight_ = ScaleForDpi(21);
  textHeight_ = ScaleForDpi(13);
  defaultPosition_ = ScaleForDpi(28);
  valueColumn_ = ScaleForDpi(150);
  if (width == 0) {
    // Each value is converted on its own, as XWindow::DluToPixelsX and
    // DluToPixelsY do: mapping the corners instead can round the size by a
    // pixel differently.
    x = DluToPixels(owner, 25, true);
    y = DluToPixels(owner, 135, false);
    width = DluToPixels(owner, 348, true);
    height = DluToPixels(owner, 70, false);
  }
  creating_ = true;
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", 0x50210551, x, y, width, height, owner,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  creating_ = false;
  if (!list) return false;
  SetWindowLongPtrW(list, GWLP_ID, reinterpret_cast<LONG_PTR>(list) + GetTickCount());
  // Owner-drawn fixed rows are measured during creation, before the owner's
  // filter can tell the list apart; set the row height again.
  SendMessageW(list, LB_SETITEMHEIGHT, 0, rowHeight_);
  font_.Create(nullptr, u"Tahoma", textHeight_, 0);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
  return Bind(list);
}

void XValueList::Destroy() {
  editor_.Close();
  HWND list = Control();
  Unbind();
  if (list && IsWindow(list)) DestroyWindow(list);
  rows_.clear();
  font_.Free();
}

void XValueList::SetStateIcons(HICON ticked, HICON empty, HICON tickedGrey, HICON emptyGrey) {
  stateIcons_[0] = ticked;
  stateIcons_[1] = empty;
  stateIcons_[2] = tickedGrey;
  stateIcons_[3] = emptyGrey;
}

int XValueList::AddRow(const ValueRow& row) {
  ValueRow copy = row;
  copy.textPosition = ScaleLowWordForDpi(copy.textPosition);
  copy.iconPosition = ScaleLowWordForDpi(copy.iconPosition);
  copy.checkPosition = ScaleLowWordForDpi(copy.checkPosition);
  rows_.push_back(copy);
  int index = static_cast<int>(rows_.size()) - 1;
  if (Control()) {
    SendMessageW(Control(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.name.W()));
    SyncItemData(index);
  }
  return index;
}

ValueRow* XValueList::Row(int index) {
  if (index < 0 || index >= RowCount()) return nullptr;
  return &rows_[static_cast<size_t>(index)];
}

bool XValueList::IsTicked(int index) const {
  if (index < 0 || index >= RowCount()) return false;
  const ValueRow& row = rows_[static_cast<size_t>(index)];
  if (row.kind == kRowCheck) return row.value.ParseInteger() != 0;
  if (row.kind == kRowRadio) return row.value.ParseInteger() < 0;
  return false;
}

void XValueList::SetTicked(bool state, int index) {
  ValueRow* row = Row(index);
  if (!row) return;
  if (row->kind == kRowRadio)
    row->value = state ? WideString(u"-1") : WideString(u"0");
  else
    row->value = state ? WideString(u"1") : WideString(u"0");
  SyncItemData(index);
  Invalidate(false);
}

void XValueList::SetDisabled(int index, bool disabled) {
  ValueRow* row = Row(index);
  if (!row) return;
  row->disabled = disabled;
  SyncItemData(index);
  Invalidate(false);
}

void XValueList::SyncItemData(int index) {
  if (!Control() || index < 0 || index >= RowCount()) return;
  LPARAM data = (IsTicked(index) ? 1 : 0) | (rows_[static_cast<size_t>(index)].disabled ? 2 : 0);
  SendMessageW(Control(), LB_SETITEMDATA, static_cast<WPARAM>(index), data);
}

void XValueList::Invalidate(bool erase) {
  if (Control()) InvalidateRect(Control(), nullptr, erase);
  if (editor_.Control()) InvalidateRect(editor_.Control(), nullptr, erase);
}

void XValueList::Toggle(int index) {
  ValueRow* row = Row(index);
  if (!row || row->disabled) return;
  if (row->kind == kRowCheck) {
    SetTicked(!IsTicked(index), index);
  } else if (row->kind == kRowRadio) {
    for (int i = 0; i < RowCount(); ++i) {
      if (i != index && rows_[static_cast<size_t>(i)].kind == kRowRadio && IsTicked(i)) SetTicked(false, i);
    }
    SetTicked(true, index);
  } else {
    return;
  }
  if (row->onChange) row->onChange(*this, index, row->userValue);
}

int XValueList::CheckPosition(const ValueRow& row) const {
  return row.checkPosition ? static_cast<int>(row.checkPosition & 0xFFFF) : defaultPosition_;
}

int XValueList::TextPosition(const ValueRow& row) const {
  return row.textPosition ? static_cast<int>(row.textPosition & 0xFFFF) : defaultPosition_;
}

void XValueList::Select(int index) {
  HWND list = Control();
  if (!list || RowCount() == 0) return;
  index = std::max(0, std::min(index, RowCount() - 1));
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  editor_.Follow(*this, index);
  Invalidate(false);
}

void XValueList::ClickAt(POINT point) {
  HWND list = Control();
  RECT client;
  GetClientRect(list, &client);
  if (!PtInRect(&client, point)) return;
  LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
  if (HIWORD(hit)) return;
  int index = LOWORD(hit);
  ValueRow* row = Row(index);
  if (!row || row->disabled) return;
  if (row->kind != kRowCheck && row->kind != kRowRadio) return;
  int selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  int boxLeft = CheckPosition(*row);
  int boxWidth = stateIcons_[0] ? IconWidth(stateIcons_[0]) : rowHeight_;
  bool onBox = point.x >= boxLeft && point.x < boxLeft + boxWidth;
  bool selectedRow = selected == index && row->note.IsEmpty();
  if (onBox || selectedRow) Toggle(index);
}

void XValueList::DrawRow(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  int index = static_cast<int>(item.itemID);
  const ValueRow* row = (index >= 0 && index < RowCount()) ? &rows_[static_cast<size_t>(index)] : nullptr;
  bool selected = (item.itemState & ODS_SELECTED) != 0;
  {
    SolidBrush brush(row && selected ? kSelectedBack : background_);
    FillRect(dc, &rect, brush.Get());
  }
  if (!row) return;
  int height = rect.bottom - rect.top;
  if (row->icon) {
    PaintIcon(row->icon, dc, rect.left + static_cast<int>(row->iconPosition & 0xFFFF),
              rect.top + (height - IconHeight(row->icon)) / 2);
  }
  if (row->kind == kRowCheck || row->kind == kRowRadio) {
    HICON state = stateIcons_[(IsTicked(index) ? 0 : 1) + (row->disabled ? 2 : 0)];
    if (state) PaintIcon(state, dc, rect.left + CheckPosition(*row), rect.top + (height - IconHeight(state)) / 2);
  }
  COLORREF colour = row->disabled ? kDisabledText : (row->kind == kRowLink ? 0xCC6600 : 0x000000);
  TextFont text;
  text.Create(nullptr, u"Tahoma", textHeight_, colour, row->kind == kRowHeading, false, row->kind == kRowLink);
  int x = rect.left + TextPosition(*row);
  int th = text.TextHeight(row->name, false, dc);
  text.DrawString(dc, x, rect.top + (height - th) / 2, row->name);
  if (row->kind == kRowEdit || row->kind == kRowLink) {
    text.DrawString(dc, rect.left + valueColumn_, rect.top + (height - th) / 2, row->value);
  }
  if (!row->note.IsEmpty()) {
    WideString note = WideString(u"[ ") + row->note + WideString(u" ]");
    int nw = text.TextWidth(note, false, -1, dc);
    text.DrawString(dc, rect.right - nw - ScaleForDpi(6), rect.top + (height - th) / 2, note);
  }
  if (selected) {
    SolidBrush frame(kSelectedFrame);
    FrameRect(dc, &rect, frame.Get());
  }
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &rect);
}

LRESULT XValueList::Filter(HWND, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = false;
  HWND list = Control();
  switch (message) {
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (!measure || measure->CtlType != ODT_LISTBOX) return 0;
      bool ours = creating_ || (list && measure->CtlID == static_cast<UINT>(GetDlgCtrlID(list)));
      if (!ours) return 0;
      measure->itemHeight = static_cast<UINT>(rowHeight_);
      handled = true;
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (!list || !item || item->hwndItem != list) return 0;
      DrawRow(*item);
      handled = true;
      return TRUE;
    }
    case WM_PARENTNOTIFY:
      if (list && LOWORD(wParam) == WM_LBUTTONDOWN) {
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        MapWindowPoints(owner_, list, &point, 1);
        ClickAt(point);
      }
      return 0;
    case WM_COMMAND:
      if (!list || reinterpret_cast<HWND>(lParam) != list) return 0;
      if (HIWORD(wParam) == LBN_DBLCLK) {
        int index = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
        ValueRow* row = Row(index);
        if (row && row->kind == kRowLink) {
          ShellExecuteW(nullptr, nullptr, row->value.W(), nullptr, nullptr, SW_SHOWNORMAL);
          MessageBeep(0);
        }
      } else if (HIWORD(wParam) == LBN_SELCHANGE) {
        editor_.Follow(*this, static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)));
      }
      handled = true;
      return 0;
    default:
      return 0;
  }
}

LRESULT XValueList::ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_RBUTTONDOWN:
      handled = true;
      return CallPrevious(control, WM_LBUTTONDOWN, wParam, lParam);
    case WM_RBUTTONUP:
      handled = true;
      return CallPrevious(control, WM_LBUTTONUP, wParam, lParam);
    case WM_VSCROLL:
    case WM_MOUSEWHEEL: {
      handled = true;
      LRESULT result = CallPrevious(control, message, wParam, lParam);
      Invalidate(true);
      return result;
    }
    case WM_CHAR:
      if (wParam == VK_SPACE) handled = true;  // the key-down did the work
      return 0;
    case WM_KEYDOWN: {
      int selected = static_cast<int>(SendMessageW(control, LB_GETCURSEL, 0, 0));
      switch (wParam) {
        case VK_SPACE:
          handled = true;
          if ((lParam & 0x40000000) == 0) Toggle(selected);
          return 0;
        case VK_UP:
          handled = true;
          Select(selected <= 0 ? 0 : selected - 1);
          return 0;
        case VK_DOWN:
          handled = true;
          Select(selected + 1);
          return 0;
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_RIGHT:
          handled = true;
          return 0;
        case VK_TAB:
          handled = true;
          PostMessageW(owner_, WM_KEYDOWN, wParam, lParam);
          return 0;
        default:
          return 0;
      }
    }
    case WM_KEYUP: {
      int selected = static_cast<int>(SendMessageW(control, LB_GETCURSEL, 0, 0));
      RECT client;
      GetClientRect(control, &client);
      int page = std::max(1, static_cast<int>(client.bottom / std::max(1, rowHeight_)));
      switch (wParam) {
        case VK_PRIOR:
          handled = true;
          Select(selected - page);
          return 0;
        case VK_NEXT:
          handled = true;
          Select(selected + page);
          return 0;
        case VK_END:
          handled = true;
          Select(RowCount() - 1);
          return 0;
        case VK_HOME:
          handled = true;
          Select(0);
          return 0;
        case VK_TAB:
          handled = true;
          PostMessageW(owner_, WM_KEYUP, wParam, lParam);
          return 0;
        default:
          return 0;
      }
    }
    default:
      return 0;
  }
}

LRESULT XValueList::clValueControl::ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                                bool& handled) {
  bool save = message == WM_KILLFOCUS || (message == WM_KEYDOWN && wParam == VK_RETURN);
  if (save && list_) {
    ValueRow* row = list_->Row(index_);
    if (row) {
      int length = GetWindowTextLengthW(control);
      std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
      GetWindowTextW(control, text.data(), length + 1);
      WideString value(text.data());
      if (value != row->value) {
        row->value = value;
        if (row->onChange) row->onChange(*list_, index_, row->userValue);
      }
    }
  }
  (void)lParam;
  handled = false;
  return 0;
}

void XValueList::clValueControl::Follow(XValueList& list, int index) {
  Close();
  ValueRow* row = list.Row(index);
  if (!row || row->kind != kRowEdit || row->disabled) return;
  RECT rect;
  if (SendMessageW(list.Control(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)) ==
      LB_ERR)
    return;
  HWND edit = CreateWindowExW(0, L"EDIT", row->value.W(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                              rect.left + list.valueColumn_, rect.top + 1, rect.right - rect.left - list.valueColumn_ - 2,
                              rect.bottom - rect.top - 2, list.Control(), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!edit) return;
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(list.font_.Handle()), FALSE);
  list_ = &list;
  index_ = index;
  Bind(edit);
}

void XValueList::clValueControl::Close() {
  HWND edit = Control();
  Unbind();
  if (edit && IsWindow(edit)) DestroyWindow(edit);
  list_ = nullptr;
  index_ = -1;
}

void XValueList::UseThinBorder() {
  HWND list = Control();
  if (!list) return;
  SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | WS_BORDER);
  SetWindowLongW(list, GWL_EXSTYLE, GetWindowLongW(list, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
  SetWindowPos(list, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}
