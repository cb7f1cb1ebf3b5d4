#include "wizard/win/script_scan.h"

#include "app/install_state.h"
#include "engine/win/run_scope.h"
#include "engine/win/shortcuts.h"
#include "engine/win/uninstall_record.h"
#include "payload/win/payload_context.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/message_door.h"
#include "util/win/registry.h"
#include "wizard/wizard_rules.h"

namespace {

const WChar kSavedPathKey[] = u"Software\\PloveInstall";
// "[Windows Version]" value that asks for 64-bit Windows.
constexpr int64_t kNeeds64BitWindows = 4;

class Scanner {
 public:
  Scanner(const WideString& commandLine, ScriptScan& scan) : commandLine_(commandLine), scan_(scan) {}

  // Reads every directive of the script. False when the Windows requirement
  // is not met (the message has been shown).
  bool ReadScript(LineReader& script);
  // The steps after the last line: KB, the previous install, 64-bit.
  void Finish();

 private:
  // False when the scan ends here.
  bool Perform(const WideString& line, LineReader& script);
  bool MeetsWindowsRequirement(const WideString& value);
  void UseSavedFolder(const WideString& valueName);
  void UseShortcutFolder(const WideString& shortcutPath);
  void UsePreviousInstallFolder();
  // The script's folder changed: the command line still has the last word.
  void SetDefaultPath(const WideString& path);

  const WideString& commandLine_;
  ScriptScan& scan_;
  bool located_ = false;
};

WideString NextValue(LineReader& file) {
  WideString value;
  file.NextValues(&value, 1);
  return value;
}

bool Scanner::ReadScript(LineReader& script) {
  WideString line;
  while (script.Next(line)) {
    if (!Perform(line, script)) return false;
  }
  return true;
}

bool Scanner::Perform(const WideString& line, LineReader& script) {
  InstallState& state = State();
  if (line.Equals(Directive::ProjectName)) {
    state.ProjectName = NextValue(script);
    scan_.projectNamed = true;
    state.InstallerTitle = WideString::Format(u"%s Installer", state.ProjectName);
  } else if (line.Equals(Directive::ProgramVersion)) {
    state.ProgramVersion = NextValue(script);
  } else if (line.Equals(Directive::InstallTo)) {
    SetDefaultPath(NextValue(script));
  } else if (line.Equals(Directive::UninstallSettings)) {
    state.Publisher = NextValue(script);
  } else if (line.Equals(Directive::SaveInstallPath)) {
    UseSavedFolder(NextValue(script));
  } else if (line.Equals(Directive::LocateInstall)) {
    UseShortcutFolder(NextValue(script));
  } else if (line.Equals(Directive::CopyFile)) {
    WideString values[2];
    script.NextValues(values, 2);
    if (PayloadContext* payload = PublishedPayload())
      state.TotalInstallSize += payload->Archive().UnpackedSizeOf(values[0]);
    scan_.destinations.Add(values[1]);
  } else if (line.Equals(Directive::NoUnInstall)) {
    state.UninstallAllowed = false;
  } else if (line.Equals(Directive::NoOfferUninstallOld)) {
    state.OfferUninstallOld = false;
  } else if (line.Equals(Directive::WindowsVersion)) {
    return MeetsWindowsRequirement(NextValue(script));
  }
  // "[NoTestAdmin]" has no value lines and nothing depends on it: skipping
  // it like any other line is all it needs.
  return true;
}

bool Scanner::MeetsWindowsRequirement(const WideString& value) {
  if (value.ParseInteger() != kNeeds64BitWindows) return true;
  InstallState& state = State();
  state.Install64Bit = true;
  if (state.Is64BitWindows) return true;
  ShowMessage(nullptr, WideString::Format(u"This install requires Windows %s or above.", u"64 bit"),
              state.InstallerTitle, MB_TOPMOST | MB_ICONERROR);
  return false;
}

void Scanner::UseSavedFolder(const WideString& valueName) {
  InstallState& state = State();
  state.SaveInstallPathGiven = true;
  state.SaveInstallPathName = valueName;
  if (valueName.IsEmpty()) return;
  const WideString saved = ReadRegistryString(HKEY_CURRENT_USER, WideString(kSavedPathKey), valueName);
  if (saved.IsEmpty()) return;
  SetDefaultPath(saved);
  located_ = true;
}

void Scanner::UseShortcutFolder(const WideString& shortcutPath) {
  WideString target;
  if (!ResolveShortcut(shortcutPath, target) || target.IsEmpty()) return;
  SetDefaultPath(ParentFolder(target));
  located_ = true;
}

// The folder that the product's last install recorded: the "[Install To]"
// value of the uninstall record that its "UninstallString" names.
void Scanner::UsePreviousInstallFolder() {
  const WideString uninstallString = ReadRegistryString(
      ProductRegistryRoot(), UninstallKeyPath(State().ProjectName), WideString(u"UninstallString"));
  if (uninstallString.IsEmpty()) return;
  const WideString recordPath = UninstallRecordArgument(uninstallString);
  if (recordPath.IsEmpty()) return;
  DiskFile file;
  if (!file.Open(recordPath, GENERIC_READ, OPEN_EXISTING, false)) return;
  LineReader record(file, false);
  WideString line;
  while (record.Next(line)) {
    if (line.Equals(Directive::InstallTo)) SetDefaultPath(NextValue(record));
  }
}

void Scanner::SetDefaultPath(const WideString& path) {
  scan_.scriptInstallPath = path;
  scan_.defaultInstallPath = InstallToOverride(commandLine_, path);
  State().InstallTo = scan_.defaultInstallPath;
}

void Scanner::Finish() {
  InstallState& state = State();
  state.TotalInstallSize /= 1024;
  if (!located_) UsePreviousInstallFolder();
  // A folder given on the command line counts even when nothing else names
  // one.
  if (scan_.defaultInstallPath.IsEmpty()) SetDefaultPath(scan_.scriptInstallPath);
  if (state.Is64BitWindows && DestinationsWant64Bit(scan_.destinations)) state.Install64Bit = true;
}

}  // namespace

ScriptScan ScanInstallScript(const WideString& commandLine) {
  ScriptScan scan;
  State().TotalInstallSize = 0;  // bytes while scanning
  scan.commandLineFolder = NamesInstallFolder(commandLine);
  Scanner scanner(commandLine, scan);
  DiskFile script;
  PayloadContext* payload = PublishedPayload();
  if (payload && script.Open(payload->PayloadFolder() + u"setup.dat", GENERIC_READ, OPEN_EXISTING, false)) {
    LineReader lines(script, false);
    if (!scanner.ReadScript(lines)) {
      scan.requirementMet = false;
      return scan;
    }
  }
  scanner.Finish();
  return scan;
}
