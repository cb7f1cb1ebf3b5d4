#pragma once
// XValueList: an owner-drawn list box of value rows. The windows of this
// system use its check rows; links, headings, radio marks and rows edited in
// place exist with minimal drawing. The owner calls Filter from its
// PreDispatch; the list's own keys run in its control hook.
//
// Each list-box item carries the row's name as its text and, as item data,
// bit 0 = ticked and bit 1 = disabled, so that other processes (and tests)
// can read the rows without this object.

#include <vector>

#include "ui/win/subclass_ctrl.h"
#include "ui/win/text_font.h"
#include "util/wide_string.h"

class XValueList;

enum ValueRowKind : int {
  kRowEdit = 0,      // edited in place with an EDIT control
  kRowLink = 2,      // double-click opens the value
  kRowHeading = 4,
  kRowCheck = 8,     // ticked when the value as an integer is not 0
  kRowRadio = 9      // ticked when the value is negative
};

using ValueRowCallback = void (*)(XValueList& list, int index, void* userValue);

struct ValueRow {
  int kind = kRowCheck;
  WideString name;
  WideString value;
  WideString note;          // drawn as "[ note ]" near the right end
  uint32_t textPosition = 0;    // px at 96 DPI; 0: the default
  HICON icon = nullptr;         // borrowed
  uint32_t iconPosition = 0;
  uint32_t checkPosition = 0;   // 0: the default
  bool disabled = false;
  ValueRowCallback onChange = nullptr;
  void* userValue = nullptr;
};

class XValueList : public XSubClassCtrl {
 public:
  XValueList();
  ~XValueList() override;

  // The in-place editor of the selected row (EDIT for kRowEdit rows).
  class clValueControl : public XSubClassCtrl {
   public:
    LRESULT ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void Follow(XValueList& list, int index);
    void Close();

   private:
    XValueList* list_ = nullptr;
    int index_ = -1;
  };

  // Creates the list box at (25, 135) DLU, 348 x 70 DLU of the owner, or at
  // the given pixel rectangle when width is not 0.
  bool Create(HWND owner, int x = 0, int y = 0, int width = 0, int height = 0);
  void Destroy();
  // A thin border instead of the sunken edge, as the windows of the system
  // show their option lists.
  void UseThinBorder();
  // Icons are borrowed; they must outlive the list.
  void SetStateIcons(HICON ticked, HICON empty, HICON tickedGrey, HICON emptyGrey);
  int AddRow(const ValueRow& row);
  int RowCount() const { return static_cast<int>(rows_.size()); }
  ValueRow* Row(int index);
  bool IsTicked(int index) const;
  void SetTicked(bool state, int index);
  void SetDisabled(int index, bool disabled);
  void Invalidate(bool erase = true);
  // Answers WM_MEASUREITEM and WM_DRAWITEM for the list, row clicks seen as
  // WM_PARENTNOTIFY and the list's WM_COMMAND notifications.
  LRESULT Filter(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

  LRESULT ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void Toggle(int index);
  void DrawRow(const DRAWITEMSTRUCT& item);
  void SyncItemData(int index);
  void Select(int index);
  int CheckPosition(const ValueRow& row) const;
  int TextPosition(const ValueRow& row) const;
  void ClickAt(POINT listPoint);

  HWND owner_ = nullptr;
  std::vector<ValueRow> rows_;
  HICON stateIcons_[4]{};
  COLORREF background_ = 0xFFFFFF;
  int rowHeight_ = 21;
  int textHeight_ = 13;
  int defaultPosition_ = 28;
  int valueColumn_ = 150;
  TextFont font_;
  clValueControl editor_;
  bool creating_ = false;
};
