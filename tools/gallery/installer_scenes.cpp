// The installer's and uninstaller's own windows in the gallery: the wizard
// on each of its pages, the licence window and the uninstall window, each
// run on a small product whose payload is built in memory.

#include <string>
#include <utility>
#include <vector>

#include "app/install_state.h"
#include "engine/win/pending_renames.h"
#include "engine/win/uninstaller_image.h"
#include "packer/pack_installer.h"
#include "payload/win/payload_context.h"
#include "resources/resource_ids.h"
#include "scenes.h"
#include "uninstall/win/uninstall_window.h"
#include "util/win/file_system.h"
#include "util/win/message_door.h"
#include "util/win/process_paths.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"
#include "wizard/win/install_window.h"
#include "wizard/win/license_window.h"

namespace {

const char kLicence[] =
    "Plove Hello - Licence Agreement\r\n\r\nThis example program is provided as is, without warranty of any "
    "kind.\r\nYou may install it, run it and remove it as often as you like.\r\n";

// A payload made from members in memory and published for the scene.
class ScenePayload {
 public:
  explicit ScenePayload(const std::vector<std::pair<std::string, std::string>>& members) {
    std::vector<PackSource> sources;
    for (const auto& member : members) {
      sources.push_back({member.first, std::vector<uint8_t>(member.second.begin(), member.second.end())});
    }
    std::vector<PackedMember> packed;
    std::string error;
    PackSettings settings;
    if (CompressMembers(sources, settings, &packed, &error) && WriteArchive(packed, archive_) == ArchiveWriteStatus::Ok) {
      bool failed = false;
      context_.OpenFromMemory(archive_.data(), archive_.size(), &failed);
    }
    PublishPayload(&context_);
  }
  ~ScenePayload() { PublishPayload(nullptr); }
  ScenePayload(const ScenePayload&) = delete;
  ScenePayload& operator=(const ScenePayload&) = delete;

 private:
  std::vector<uint8_t> archive_;
  PayloadContext context_;
};

std::string Script(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The example product; extra lines go at the end of its script.
std::vector<std::pair<std::string, std::string>> Product(const std::string& folder,
                                                         const std::vector<std::string>& extra) {
  std::vector<std::string> lines = {"[Project Name]", "Plove Hello", "[ProgramVersion]", "1.0.0", "[Install To]",
                                    folder,           "[NoOfferUninstallOld]"};
  lines.insert(lines.end(), extra.begin(), extra.end());
  return {{"setup.dat", Script(lines)},
          {"setup.lic", kLicence},
          {"hello-app.exe", std::string(2 * 1024 * 1024, 'x')},
          {"readme.txt", "Read me\r\n"}};
}

// Answers the script's messages once the picture is taken, so that the
// install runs up to its first message and waits there.
int HoldUntilDone(void* context, HWND, const WideString&, const WideString&, UINT) {
  auto* run = static_cast<SceneRun*>(context);
  while (!run->Done()) Sleep(50);
  return IDOK;
}

int AnswerOk(void*, HWND, const WideString&, const WideString&, UINT) { return IDOK; }

// The wizard on the page of the picture; start presses "Install" first.
void RunWizard(SceneRun& run, WizardPage page, bool start) {
  // This program has no uninstaller recipe of its own: a stand-in, so that
  // the install runs as a packed installer's does.
  static const char kUninstaller[] = "MZ uninstaller of the gallery";
  SetPreparedUninstallerForTests(std::vector<uint8_t>(kUninstaller, kUninstaller + sizeof kUninstaller - 1));
  dlgInstall wizard;
  run.ReadyWhen([&wizard, page, start] {
    if (start && wizard.Page() == WizardPage::Ready && wizard.Window()) {
      PostMessageW(GetDlgItem(wizard.Window(), IDC_INSTALL), BM_CLICK, 0, 0);
      return false;
    }
    return wizard.Page() == page;
  });
  wizard.Run();
}

WideString SceneFolder() {
  WideString folder;
  MakeTempFolder(folder);
  return folder;
}

}  // namespace

void OpenWizardReadyScene(SceneRun& run) {
  ScenePayload payload(Product("<Program Files>Plove Hello\\", {"[CopyFile]", "hello-app.exe", "<Destination>hello-app.exe"}));
  RunWizard(run, WizardPage::Ready, false);
}

void OpenWizardScopeScene(SceneRun& run) {
  ScenePayload payload(Product("<Program Files>Plove Hello\\", {"[CopyFile]", "hello-app.exe", "<Destination>hello-app.exe"}));
  State().AsksForScope = true;
  RunWizard(run, WizardPage::Ready, false);
  State().AsksForScope = false;
}

void OpenWizardInstallingScene(SceneRun& run) {
  const WideString folder = SceneFolder();
  ScenePayload payload(Product(folder.ToUtf8(), {"[Action]", "Copying files", "[CopyFile]", "readme.txt",
                                                 "<Destination>readme.txt", "[Message]", "Half way", "Information",
                                                 "[CopyFile]", "hello-app.exe", "<Destination>hello-app.exe"}));
  SetMessageResponder(&HoldUntilDone, &run);
  RunWizard(run, WizardPage::Installing, true);
  SetMessageResponder(nullptr, nullptr);
  DeleteFolderTree(folder);
}

void OpenWizardFinishedScene(SceneRun& run) {
  const WideString folder = SceneFolder();
  // A file in use makes the restart row appear.
  CreateFolderTree(folder);
  ScopedFileHandle held(CreateFileW((folder + u"readme.txt").W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ScenePayload payload(Product(folder.ToUtf8(),
                               {"[CopyFile]", "readme.txt", "<Destination>readme.txt", "[CreateIcon]",
                                "<Destination>readme.txt", "<Destination>Plove Hello.lnk", "",
                                "Optional - Create a desktop shortcut", "[RunFile]", "<Destination>readme.txt", "",
                                "Optional - Read the release notes!"}));
  RunWizard(run, WizardPage::Finished, true);
  held.Reset();
  CancelDeletionAtRestart(folder + u"readme.txt");
  DeleteFolderTree(folder);
}

void OpenWizardFailedScene(SceneRun& run) {
  const WideString folder = SceneFolder();
  ScenePayload payload(Product(folder.ToUtf8(), {"[CopyFile]", "missing.bin", "<Destination>missing.bin"}));
  SetMessageResponder(&AnswerOk, nullptr);
  RunWizard(run, WizardPage::Finished, true);
  SetMessageResponder(nullptr, nullptr);
  DeleteFolderTree(folder);
}

void OpenLicenceScene(SceneRun&) {
  ScenePayload payload(Product("<Program Files>Plove Hello\\", {}));
  State().InstallerTitle = u"Plove Hello Installer";
  dlgLicense licence;
  licence.Run(nullptr);
}

namespace {

// The uninstall window on a record of the scene's own; holdFile keeps one of
// the product's files open, so the completed page offers the restart.
void RunUninstall(SceneRun& run, UninstallPage page, bool holdFile) {
  const WideString folder = SceneFolder();
  CreateFolderTree(folder);
  const WideString record = folder + u"PloveUninstall-Plove Hello.dat";
  const std::string text = Script({"[Project Name]", "Plove Hello", "[Install To]", folder.ToUtf8(), "[CopyFile]",
                                   "readme.txt", "<Destination>readme.txt"});
  {
    ScopedFileHandle file(CreateFileW(record.W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  ScopedFileHandle held(CreateFileW((folder + u"readme.txt").W(), GENERIC_WRITE, holdFile ? 0 : FILE_SHARE_DELETE,
                                    nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!holdFile) held.Reset();
  InstallState& state = State();
  state.InstallerTitle = u"UnInstaller";
  state.ProjectName = u"Plove Hello";
  state.UninstallRecordPath = record;
  state.InstallTo = folder;
  {
    dlgUnInstall window(false);
    run.ReadyWhen([&window, page] {
      if (page != UninstallPage::Ready && window.Page() == UninstallPage::Ready && window.Window()) {
        PostMessageW(GetDlgItem(window.Window(), IDOK), BM_CLICK, 0, 0);
        return false;
      }
      return window.Page() == page;
    });
    window.Run();
  }
  held.Reset();
  // The engine asks for the removal of its own program and of the file in
  // use at the next restart: neither may happen to the gallery.
  CancelDeletionAtRestart(ModulePath());
  CancelDeletionAtRestart(folder + u"readme.txt");
  DeleteFolderTree(folder);
}

}  // namespace

void OpenUninstallReadyScene(SceneRun& run) { RunUninstall(run, UninstallPage::Ready, false); }

void OpenUninstallCompletedScene(SceneRun& run) { RunUninstall(run, UninstallPage::Completed, true); }

void OpenUninstallFailedScene(SceneRun& run) {
  // A record that is not there: the engine says so and removes nothing.
  InstallState& state = State();
  state.InstallerTitle = u"UnInstaller";
  state.ProjectName = u"Plove Hello";
  state.UninstallRecordPath = SceneFolder() + u"PloveUninstall-Plove Hello.dat";
  state.InstallTo = SceneFolder();
  SetMessageResponder(&AnswerOk, nullptr);
  {
    dlgUnInstall window(false);
    run.ReadyWhen([&window] {
      if (window.Page() == UninstallPage::Ready && window.Window()) {
        PostMessageW(GetDlgItem(window.Window(), IDOK), BM_CLICK, 0, 0);
        return false;
      }
      return window.Page() == UninstallPage::Completed;
    });
    window.Run();
  }
  SetMessageResponder(nullptr, nullptr);
}
