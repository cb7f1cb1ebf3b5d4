// A handler that runs a nested loop (here a message box, answered by the
// test's responder after it has done what a real message box does) must
// find its own message's verdict unchanged when the loop returns.
#include <gtest/gtest.h>

#include "dialog_template.h"
#include "ui/win/xwindow.h"
#include "util/win/message_door.h"
#include "window_driver.h"

namespace {

constexpr int kAskButton = 200;
constexpr int kReadOnlyEdit = 201;

// What happens inside the message box's loop, in order.
struct NestedLoop {
  const char* name;
  bool disableOwner;  // a message box disables its owner, and enables it again at the end
  bool repaintEdit;   // the read-only edit repaints: WM_CTLCOLORSTATIC to the dialog
  bool pumpAfter;     // the loop serves whatever else is waiting
};

// Answers every message as a message box with an owner would: the nested
// loop runs, then IDYES.
struct LoopingResponder {
  NestedLoop loop{};
  HWND edit = nullptr;
  int asked = 0;

  static int Respond(void* context, HWND owner, const WideString&, const WideString&, UINT) {
    auto* self = static_cast<LoopingResponder*>(context);
    ++self->asked;
    if (self->loop.disableOwner) EnableWindow(owner, FALSE);
    if (self->loop.repaintEdit) RedrawWindow(self->edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    if (self->loop.pumpAfter) driver::Pump(30);
    if (self->loop.disableOwner) EnableWindow(owner, TRUE);
    return IDYES;
  }
};

// A dialog whose command handler and close handler both ask a question;
// neither clears, so both messages count as handled.
class AskingDialog : public XWindow {
 public:
  int colourCalls = 0;
  int cancels = 0;
  HBRUSH brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

  ~AskingDialog() override { Unbind(); }
  void OnCommand(int id, HWND, int code) override {
    if (id == kAskButton) ShowMessage(Window(), u"Sure?", u"Nested", MB_YESNO | MB_ICONQUESTION);
    if (id == IDCANCEL && code == BN_CLICKED) ++cancels;
  }
  void OnClose() override { ShowMessage(Window(), u"Close?", u"Nested", MB_YESNO | MB_ICONQUESTION); }
  HBRUSH OnCtlColorStatic(HDC, HWND) override {
    ++colourCalls;
    return brush;
  }
};

bool CommandWaiting(HWND dialog) {
  MSG message;
  return PeekMessageW(&message, dialog, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) != 0;
}

}  // namespace

TEST(NestedRouting, OuterVerdictSurvivesTheLoopOfAMessageBox) {
  const NestedLoop loops[] = {
      {"message box: owner disabled and enabled around the repaint", true, true, true},
      {"repaint as the last message of the loop", false, true, false},
  };
  for (const NestedLoop& loop : loops) {
    SCOPED_TRACE(loop.name);
    DialogTemplate dialog(u"Nested", 10, 10, 160, 80, WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_SETFONT);
    dialog.AddControl(0x0080, u"Ask", kAskButton, 10, 50, 50, 14, BS_PUSHBUTTON | WS_TABSTOP);
    dialog.AddControl(0x0081, u"C:\\Program Files\\Tool", kReadOnlyEdit, 10, 10, 140, 14,
                      ES_READONLY | ES_AUTOHSCROLL | WS_BORDER);
    AskingDialog window;
    ASSERT_EQ(window.RunDialogIndirect(dialog.Get(), nullptr, false), 1);
    HWND handle = window.Window();
    driver::Pump(50);

    LoopingResponder responder;
    responder.loop = loop;
    responder.edit = GetDlgItem(handle, kReadOnlyEdit);
    SetMessageResponder(&LoopingResponder::Respond, &responder);

    // The dialog procedure's own answer for the outer WM_COMMAND: handled.
    auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(handle, DWLP_DLGPROC));
    ASSERT_NE(procedure, nullptr);
    window.colourCalls = 0;
    INT_PTR answer = procedure(handle, WM_COMMAND, MAKEWPARAM(kAskButton, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(handle, kAskButton)));
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(responder.asked, 1);
    EXPECT_GT(window.colourCalls, 0) << "the nested loop routed no colour message";

    // A handled WM_CLOSE: the dialog manager must not turn it into IDCANCEL.
    SendMessageW(handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(responder.asked, 2);
    EXPECT_FALSE(CommandWaiting(handle));
    driver::Pump(50);
    EXPECT_EQ(window.cancels, 0);
    EXPECT_TRUE(IsWindow(handle));

    // The colour message itself still answers with its brush afterwards.
    HWND edit = GetDlgItem(handle, kReadOnlyEdit);
    HDC dc = GetDC(edit);
    EXPECT_EQ(SendMessageW(handle, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)),
              reinterpret_cast<LRESULT>(window.brush));
    ReleaseDC(edit, dc);
    SetMessageResponder(nullptr, nullptr);
  }
}

// Writes outside routing change nothing, and a handler's verdict applies
// to its own message only.
TEST(NestedRouting, VerdictBelongsToTheMessageBeingRouted) {
  struct Clearing : XWindow {
    int depth = 0;
    bool innerCleared = false;
    void OnCommand(int id, HWND, int) override {
      if (id == 1 && depth == 0) {
        ++depth;
        SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(2, 0), 0);  // routed while this handler runs
        --depth;
      }
      if (id == 2) {
        handled_ = false;
        innerCleared = !handled_;
      }
    }
    void Poke() { handled_ = true; }
    bool Current() const { return handled_; }
  } window;
  ASSERT_TRUE(window.CreateCustomWindow(WS_POPUP, 0, nullptr, 0, 0, 50, 50));
  window.Poke();
  EXPECT_FALSE(window.Current());

  std::vector<UINT> defaulted;
  static std::vector<UINT>* seen;
  seen = &defaulted;
  XWindow::SetDefaultObserver([](HWND, UINT message) { seen->push_back(message); });
  SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(1, 0), 0);
  XWindow::SetDefaultObserver(nullptr);
  EXPECT_TRUE(window.innerCleared);
  // Only the inner command went on to default processing.
  ASSERT_EQ(defaulted.size(), 1u);
  EXPECT_EQ(defaulted[0], static_cast<UINT>(WM_COMMAND));
}
