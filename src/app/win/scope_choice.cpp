#include "app/win/scope_choice.h"

#include "app/install_state.h"
#include "app/options.h"
#include "app/win/admin_rights.h"
#include "engine/win/run_scope.h"
#include "payload/win/payload_context.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

namespace {

const WChar kBothOptions[] = u"--allusers and --currentuser cannot be used together. Nothing was installed.";
const WChar kMachineOnly[] =
    u"%s installs for all users only; --currentuser cannot be used with it. Nothing was installed.";
const WChar kUserOnly[] =
    u"%s installs for the current user only; --allusers cannot be used with it. Nothing was installed.";
const WChar kCannotElevate[] =
    u"%s cannot install for all users without administrator rights. Run it with --currentuser to install it just "
    u"for you, or as an administrator with --allusers. Nothing was installed.";

// A user whose token is the filtered half of an administrator's: an
// elevation prompt makes the run an administrator's.
bool CanElevate() {
  ScopedKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &size)) return false;
  return type == TokenElevationTypeLimited;
}

bool Refuse(const WChar* text, const WideString& product) {
  const WideString message = WideString::Format(text, product.IsEmpty() ? WideString(u"Setup") : product);
  LogEvent(log_kind::kFailure, message);
  ShowMessage(nullptr, message, State().InstallerTitle, MB_ICONERROR);
  return false;
}

}  // namespace

ScriptScopeFacts ReadScriptScope(const WideString& scriptPath) {
  ScriptScopeFacts facts;
  DiskFile file;
  if (!file.Open(scriptPath, GENERIC_READ, OPEN_EXISTING, false)) return facts;
  LineReader script(file, false);
  WideString line;
  while (script.Next(line)) {
    if (line.Equals(Directive::ProjectName)) {
      script.NextValues(&facts.projectName, 1);
    } else if (line.Equals(Directive::InstallScope)) {
      WideString value;
      script.NextValues(&value, 1);
      if (!ParseInstallScope(value, facts.scope)) {
        LogEvent(log_kind::kScope, u"'" + value + u"' names no install scope: the install is for all users");
      }
    }
  }
  return facts;
}

bool SettleRunScope(bool elevatedCopy) {
  InstallState& state = State();
  const PayloadContext* payload = PublishedPayload();
  if (payload == nullptr) return true;
  const ScriptScopeFacts script = ReadScriptScope(payload->PayloadFolder() + u"setup.dat");
  const WideString& commandLine = state.CommandLine;
  const bool allUsers = HasAllUsersOption(commandLine);
  const bool currentUser = HasCurrentUserOption(commandLine);
  if (allUsers && currentUser) return Refuse(kBothOptions, script.projectName);
  // The elevated copy installs for every user; it is started only for a
  // script and a command line that allow it.
  const ScopeRequest request = elevatedCopy || allUsers ? ScopeRequest::AllUsers
                               : currentUser            ? ScopeRequest::CurrentUser
                                                        : ScopeRequest::None;
  RunFacts run{};
  run.silent = state.Silent;
  // Only an "either" script without a request asks what the process may do.
  if (script.scope == InstallScope::Either && request == ScopeRequest::None) {
    run.isAdministrator = HasAdminRights();
    run.canElevate = run.isAdministrator || CanElevate();
  }
  const RunScopeChoice choice = ChooseRunScope(script.scope, request, run);
  switch (choice.outcome) {
    case RunScopeChoice::Outcome::RefusedAllUsers: return Refuse(kUserOnly, script.projectName);
    case RunScopeChoice::Outcome::RefusedCurrentUser: return Refuse(kMachineOnly, script.projectName);
    case RunScopeChoice::Outcome::NeedsCurrentUser: return Refuse(kCannotElevate, script.projectName);
    case RunScopeChoice::Outcome::Ask: state.AsksForScope = true; break;
    case RunScopeChoice::Outcome::Chosen: break;
  }
  EnterRunScope(choice.scope);
  if (script.scope != InstallScope::Machine) {
    LogEvent(log_kind::kScope, state.AsksForScope ? WideString(u"the person chooses who the install is for")
                               : choice.scope == RunScope::User ? WideString(u"for the current user alone")
                                                                : WideString(u"for all users"));
  }
  return true;
}
