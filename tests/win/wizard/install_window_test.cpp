// The install wizard in this process: the window runs its modal loop on a
// thread of its own, as in the installer, while the test drives it from the
// outside with the window driver and answers its messages.

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

#include "app/install_state.h"
#include "app/outcome.h"
#include "engine/win/folder_macros.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/uninstaller_image.h"
#include "payload/win/payload_context.h"
#include "payload_builder.h"
#include "resources/resource_ids.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "ui/win/dpi.h"
#include "util/win/message_door.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "window_driver.h"
#include "wizard/win/install_window.h"

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

std::string Script(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// One wizard: fresh install state, the payload published, the window on
// its own thread.
class WizardSession {
 public:
  explicit WizardSession(const Members& members, bool silent = false) {
    ResetInstallState();
    // What the installer would have made from its own file and recipe.
    static const char kUninstaller[] = "MZ uninstaller of the wizard tests";
    SetPreparedUninstallerForTests(std::vector<uint8_t>(kUninstaller, kUninstaller + sizeof kUninstaller - 1));
    State().Silent = silent;
    bytes_ = BuildTestPayload(members);
    bool failed = false;
    payload_.OpenFromMemory(bytes_.data(), bytes_.size(), &failed);
    PublishPayload(&payload_);
    thread_.Reset(CreateThread(nullptr, 0, &WizardSession::Run, this, 0, nullptr));
  }
  ~WizardSession() {
    // A test that failed half way leaves the window open: close it.
    for (int attempt = 0; attempt < 20 && !Ended(); ++attempt) {
      if (HWND window = WindowIfOpen()) PostMessageW(window, WM_CLOSE, 0, 0);
      driver::WaitFor([&] { return Ended(); }, 500);
    }
    EXPECT_TRUE(Ended());
    PublishPayload(nullptr);
  }
  WizardSession(const WizardSession&) = delete;
  WizardSession& operator=(const WizardSession&) = delete;

  HWND Window() {
    HWND found = nullptr;
    driver::WaitFor([&] { return (found = WindowIfOpen()) != nullptr || Ended(); }, 20000);
    return found;
  }
  // Waits until the page is shown with its texts drawn.
  bool WaitForPage(WizardPage page, DWORD timeoutMs = 30000) {
    const WChar* titles[] = {u"Ready to Install", u"Installing", nullptr, u"Processing Actions"};
    return driver::WaitFor(
        [&] {
          if (wizard_ == nullptr || wizard_->Page() != page) return false;
          std::vector<WideString> texts = PageTexts();
          if (texts.empty()) return false;
          if (page == WizardPage::Finished) {
            return texts[0] == WideString(u"Successful Install") || texts[0] == WideString(u"Install is Incomplete");
          }
          return texts[0] == WideString(titles[static_cast<int>(page)]);
        },
        timeoutMs);
  }
  bool WaitForEnd(DWORD timeoutMs = 30000) {
    return driver::WaitFor([&] { return Ended(); }, timeoutMs);
  }
  bool Ended() const { return WaitForSingleObject(thread_.Get(), 0) == WAIT_OBJECT_0; }
  // The texts of the current page (the header drawn once is left out).
  std::vector<WideString> PageTexts() {
    std::vector<WideString> texts;
    if (wizard_ == nullptr) return texts;
    for (const DrawnText& text : wizard_->DrawnTexts()) {
      if (text.onPage) texts.push_back(text.text);
    }
    return texts;
  }
  std::vector<DrawnText> AllTexts() { return wizard_ ? wizard_->DrawnTexts() : std::vector<DrawnText>(); }
  int ExitCode() const {
    const InstallState& state = State();
    return ExitCodeFor(state.Outcome, state.RebootRequired, state.RestartRequested);
  }
  void Click(int id) { SendMessageW(GetDlgItem(Window(), id), BM_CLICK, 0, 0); }
  dlgInstall& Wizard() { return *wizard_; }

 private:
  HWND WindowIfOpen() {
    HWND window = wizard_ != nullptr ? wizard_->Window() : nullptr;
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
  }
  static DWORD WINAPI Run(void* self) {
    auto* session = static_cast<WizardSession*>(self);
    CoInitialize(nullptr);
    {
      dlgInstall wizard;
      session->wizard_ = &wizard;
      wizard.Run();
      session->wizard_ = nullptr;
    }
    CoUninitialize();
    return 0;
  }

  std::vector<uint8_t> bytes_;
  PayloadContext payload_;
  dlgInstall* volatile wizard_ = nullptr;
  ScopedKernelHandle thread_;
};

bool FileExists(const WideString& path) { return GetFileAttributesW(path.W()) != INVALID_FILE_ATTRIBUTES; }

// Holds the first message (a "[Message]" of the script, on the worker
// thread) until released, and answers every later one with answer.
class HeldMessage {
 public:
  explicit HeldMessage(int answer) : answer_(answer), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    SetMessageResponder(&HeldMessage::Respond, this);
  }
  ~HeldMessage() {
    Release();
    SetMessageResponder(nullptr, nullptr);
  }
  HeldMessage(const HeldMessage&) = delete;
  HeldMessage& operator=(const HeldMessage&) = delete;
  void Release() { SetEvent(release_.Get()); }
  bool Holding() const { return holding_; }
  std::vector<WideString> Texts() const { return texts_; }

 private:
  static int Respond(void* context, HWND, const WideString& text, const WideString&, UINT) {
    auto* self = static_cast<HeldMessage*>(context);
    self->texts_.push_back(text);
    if (self->texts_.size() == 1) {
      self->holding_ = true;
      WaitForSingleObject(self->release_.Get(), 60000);
      self->holding_ = false;
      return IDOK;
    }
    return self->answer_;
  }
  int answer_;
  ScopedKernelHandle release_;
  volatile bool holding_ = false;
  std::vector<WideString> texts_;
};

// What this user may take (Wine reports the volume's free bytes alike).
uint64_t FreeMegabytesOnC() {
  ULARGE_INTEGER available, total, free;
  GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free);
  return available.QuadPart / 1024 / 1024;
}

void RemoveProduct(const WideString& name) {
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(kUninstallKeyParent), name);
}

}  // namespace

TEST(InstallWindow, ReadyPageShowsProductFolderAndSpace) {
  const std::string data(3 * 1024 * 1024, 'x');
  WizardSession session({{"setup.dat", Script({"[Project Name]", "Wizard App", "[ProgramVersion]", "1.5",
                                               "[Install To]", "C:\\Wizard App\\", "[CopyFile]", "data.bin",
                                               "<Destination>data.bin"})},
                         {"setup.lic", "Licence text\r\n"},
                         {"data.bin", data}});
  HWND window = session.Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(driver::TextOf(window), WideString(u"Wizard App Installer"));
  EXPECT_EQ(driver::ControlText(window, IDC_INSTALL_FOLDER), WideString(u"C:\\Wizard App\\"));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_LICENSE_LINK)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_PROGRESS)));

  const uint64_t free = FreeMegabytesOnC();
  const WideString space = free > 4000 && free / 1024 > 3
                               ? WideString::Format(u"3 MB Required, %d GB Free", static_cast<int>(free / 1024))
                               : WideString::Format(u"3 MB Required, %d MB Free", static_cast<int>(free));
  std::vector<WideString> page = session.PageTexts();
  EXPECT_EQ(page, (std::vector<WideString>{u"Ready to Install", u"Install To", u"Terms & Conditions", space}));
  // The header is drawn once: the word "Installer" and the product line.
  std::vector<DrawnText> all = session.AllTexts();
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[0].text, WideString(u"Installer"));
  EXPECT_EQ(all[1].text, WideString(u"Wizard App 1.5"));
  // Placement in dialog units of the window: the space line ends at 373.
  RECT unit{373, 132, 25, 102};
  MapDialogRect(window, &unit);
  for (const DrawnText& text : all) {
    if (text.text == space) {
      EXPECT_EQ(text.box.right, unit.left);
      EXPECT_EQ(text.box.top, unit.top);
    }
    if (text.text == WideString(u"Install To")) {
      EXPECT_EQ(text.box.left, unit.right);
      EXPECT_EQ(text.box.top, unit.bottom);
    }
  }
  session.Click(IDC_CANCEL_INSTALL);
  EXPECT_TRUE(session.WaitForEnd());
  EXPECT_EQ(session.ExitCode(), kExitCancelled);
}

TEST(InstallWindow, HeaderWithoutAProjectName) {
  // The caption keeps "Setup"; the header has no product to name.
  WizardSession session({{"setup.dat", Script({"[Install To]", "C:\\Nameless\\"})}});
  HWND window = session.Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(driver::TextOf(window), WideString(u"Setup"));
  ASSERT_TRUE(session.WaitForPage(WizardPage::Ready));
  std::vector<WideString> header;
  for (const DrawnText& text : session.AllTexts()) {
    if (!text.onPage && !text.text.IsEmpty()) header.push_back(text.text);
  }
  EXPECT_EQ(header, std::vector<WideString>{u"Installer"});
  session.Click(IDC_CANCEL_INSTALL);
  EXPECT_TRUE(session.WaitForEnd());
}

TEST(InstallWindow, ChooseKeepsTheProductFolderName) {
  WizardSession session({{"setup.dat", Script({"[Project Name]", "Chooser", "[Install To]",
                                               "<Program Files>Chooser\\"})}});
  HWND window = session.Window();
  ASSERT_NE(window, nullptr);
  CreateDirectoryW(L"C:\\Apps", nullptr);
  // Choose opens the folder dialog, owned by the wizard.
  PostMessageW(GetDlgItem(window, IDC_CHOOSE_FOLDER), BM_CLICK, 0, 0);
  HWND browse = nullptr;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        browse = nullptr;
        for (HWND top : driver::TopWindowsOf(0)) {
          if (top != window && GetWindow(top, GW_OWNER) == window) browse = top;
        }
        return browse != nullptr;
      },
      20000));
  SendMessageW(browse, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"C:\\Apps"));
  driver::Pump(200);
  SendMessageW(GetDlgItem(browse, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(driver::WaitFor(
      [&] { return driver::ControlText(window, IDC_INSTALL_FOLDER) == WideString(u"C:\\Apps\\Chooser\\"); }, 10000))
      << driver::ControlText(window, IDC_INSTALL_FOLDER);
  session.Click(IDC_CANCEL_INSTALL);
  EXPECT_TRUE(session.WaitForEnd());
  RemoveDirectoryW(L"C:\\Apps");
}

TEST(InstallWindow, LicenceLinkOpensTheLicenceWindow) {
  WizardSession session({{"setup.dat", Script({"[Project Name]", "Licensed"})}, {"setup.lic", "Terms\r\n"}});
  HWND window = session.Window();
  ASSERT_NE(window, nullptr);
  NMHDR click{GetDlgItem(window, IDC_LICENSE_LINK), IDC_LICENSE_LINK, static_cast<UINT>(NM_CLICK)};
  PostMessageW(window, WM_NOTIFY, IDC_LICENSE_LINK, reinterpret_cast<LPARAM>(&click));
  HWND licence = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (licence = driver::FindDialogWithControl(IDC_LICENSE_TEXT)) != nullptr; },
                              10000));
  EXPECT_EQ(GetWindow(licence, GW_OWNER), window);
  EXPECT_EQ(driver::ControlText(licence, IDC_LICENSE_TEXT), WideString(u"Terms\r\n"));
  SendMessageW(GetDlgItem(licence, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(licence); }, 10000));
  EXPECT_EQ(session.PageTexts().front(), WideString(u"Ready to Install"));
  session.Click(IDC_CANCEL_INSTALL);
  EXPECT_TRUE(session.WaitForEnd());
}

TEST(InstallWindow, InstallingThenFinishedWithItsOptions) {
  TestFolder target;
  const std::string folder = target.Path().ToUtf8();
  // The file in use waits for the restart, so the restart row is offered.
  WriteWholeFile(target / u"busy.txt", "old");
  ScopedFileHandle held(CreateFileW((target / u"busy.txt").W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  WizardSession session({{"setup.dat",
                          Script({"[Project Name]", "Options App", "[Install To]", folder, "[NoOfferUninstallOld]",
                                  "[Action]", "Copying the files", "[CopyFile]", "busy.txt",
                                  "<Destination>busy.txt", "[CreateIcon]", "<Destination>busy.txt",
                                  "<Destination>Busy.lnk", "", "Optional - Busy shortcut", "[RunFile]",
                                  "<Destination>busy.txt", "", "Optional - Open the file!"})},
                         {"busy.txt", "new"}});
  ASSERT_NE(session.Window(), nullptr);
  ScriptedMessages messages(IDYES);
  session.Click(IDC_INSTALL);
  ASSERT_TRUE(session.WaitForPage(WizardPage::Finished));
  HWND window = session.Window();
  EXPECT_EQ(driver::ControlText(window, IDC_CANCEL_INSTALL), WideString(u"Finish"));
  EXPECT_EQ(session.PageTexts(),
            (std::vector<WideString>{u"Successful Install", u"Installation has completed successfully.",
                                     u"Review and click Finish to exit."}));
  HWND list = driver::FindChild(window, u"ListBox", u"");
  ASSERT_NE(list, nullptr);
  std::vector<driver::ListRow> rows = driver::ListRows(list);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].text, WideString(u"Restart Computer [Required to Finalize Setup]"));
  EXPECT_TRUE(rows[0].ticked);
  EXPECT_EQ(rows[1].text, WideString(u"Create Icon: Busy shortcut"));
  EXPECT_TRUE(rows[1].ticked);
  EXPECT_EQ(rows[2].text, WideString(u"Run Program: Open the file"));
  EXPECT_FALSE(rows[2].ticked);

  // Finish performs the ticked options: the shortcut, then the restart
  // window, whose "Cancel Reboot" is confirmed.
  session.Click(IDC_CANCEL_INSTALL);
  HWND restart = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (restart = driver::FindDialogWithControl(IDC_CANCEL_REBOOT)) != nullptr; },
                              20000));
  EXPECT_EQ(session.Wizard().Page(), WizardPage::ProcessingActions);
  EXPECT_TRUE(FileExists(target / u"Busy.lnk"));
  SendMessageW(GetDlgItem(restart, IDC_CANCEL_REBOOT), BM_CLICK, 0, 0);
  EXPECT_TRUE(session.WaitForEnd());
  EXPECT_EQ(session.ExitCode(), kExitRestartNeeded);
  EXPECT_EQ(messages.Last().text, WideString(u"Cancel reboot?\r\n\r\nWindows will require restarting to finalize install."));
  held.Reset();
  RemoveProduct(u"Options App");
}

TEST(InstallWindow, ProgressFollowsTheWorker) {
  TestFolder target;
  WizardSession session({{"setup.dat", Script({"[Project Name]", "Progress", "[Install To]", target.Path().ToUtf8(),
                                               "[Action]", "Step one", "[CopyFile]", "a.txt", "<Destination>a.txt",
                                               "[Message]", "Half way", "Information", "[Action]", "Step two",
                                               "[CopyFile]", "b.txt", "<Destination>b.txt"})},
                         {"a.txt", "a"},
                         {"b.txt", "b"}});
  HeldMessage held(IDOK);
  session.Click(IDC_INSTALL);
  ASSERT_TRUE(driver::WaitFor([&] { return held.Holding(); }, 20000));
  HWND progress = GetDlgItem(session.Window(), IDC_PROGRESS);
  EXPECT_TRUE(driver::WaitFor([&] { return SendMessageW(progress, PBM_GETPOS, 0, 0) == 50; }, 5000));
  EXPECT_TRUE(IsWindowVisible(progress));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(session.Window(), IDC_INSTALL)));
  EXPECT_EQ(session.PageTexts(), (std::vector<WideString>{u"Installing", u"Step one"}));
  held.Release();
  ASSERT_TRUE(session.WaitForPage(WizardPage::Finished));
  EXPECT_EQ(session.PageTexts(),
            (std::vector<WideString>{u"Successful Install", u"Installation has completed successfully.",
                                     u"Click Finish to exit."}));
  session.Click(IDC_CANCEL_INSTALL);
  EXPECT_TRUE(session.WaitForEnd());
  EXPECT_EQ(session.ExitCode(), kExitSuccess);
  RemoveProduct(u"Progress");
}

TEST(InstallWindow, CancelDuringTheInstallLeavesNoRecord) {
  TestFolder target;
  WizardSession session({{"setup.dat", Script({"[Project Name]", "Cancelled", "[Install To]", target.Path().ToUtf8(),
                                               "[Message]", "Wait", "Information", "[CopyFile]", "a.txt",
                                               "<Destination>a.txt"})},
                         {"a.txt", "a"}});
  HeldMessage held(IDYES);
  session.Click(IDC_INSTALL);
  ASSERT_TRUE(driver::WaitFor([&] { return held.Holding(); }, 20000));
  PostMessageW(session.Window(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(driver::WaitFor([&] { return held.Texts().size() == 2; }, 10000));
  EXPECT_EQ(held.Texts()[1], WideString(u"Cancel Install?"));
  held.Release();
  EXPECT_TRUE(session.WaitForEnd(70000));
  EXPECT_EQ(session.ExitCode(), kExitCancelled);
  EXPECT_FALSE(FileExists(target / u"a.txt"));
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Cancelled"), u"UninstallString").IsEmpty());
}

TEST(InstallWindow, SilentRunsThroughEveryPageByItself) {
  struct Case {
    const char* member;  // the member the script copies
    int exitCode;
    int messages;
  };
  const Case cases[] = {{"a.txt", kExitSuccess, 0}, {"missing.txt", kExitFailed, 1}};
  for (const Case& c : cases) {
    TestFolder target;
    ScriptedMessages messages(IDOK);
    WizardSession session({{"setup.dat", Script({"[Project Name]", "Quiet", "[Install To]", target.Path().ToUtf8(),
                                                 "[CopyFile]", c.member, "<Destination>a.txt"})},
                           {"a.txt", "a"}},
                          true);
    EXPECT_TRUE(session.WaitForEnd()) << c.member;
    EXPECT_EQ(session.ExitCode(), c.exitCode) << c.member;
    EXPECT_EQ(messages.Count(), c.messages) << c.member;
    EXPECT_EQ(FileExists(target / u"a.txt"), c.exitCode == kExitSuccess) << c.member;
    RemoveProduct(u"Quiet");
  }
}
