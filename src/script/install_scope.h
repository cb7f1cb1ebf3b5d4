#pragma once
// Who a product is installed for, from the script's [InstallScope] line and
// the command line's --allusers / --currentuser.

#include "util/wide_string.h"

enum class InstallScope {
  Machine,  // every user; the run elevates (the default)
  User,     // the current user alone; the run never elevates
  Either,   // the person (or the command line) chooses
};

// The scope a script's value line names: "machine", "user" or "either", in
// any case, spaces around it ignored. False for anything else; scope is
// then left alone.
bool ParseInstallScope(const WideString& value, InstallScope& scope);

// The value line that names scope.
const char16_t* InstallScopeName(InstallScope scope);

// The registry root name that means HKLM in a machine install and HKCU in a
// per-user one.
constexpr const char16_t* kScopedRegistryRoot = u"HKA";

// What one run does: for the current user alone, or for every user.
enum class RunScope { Machine, User };

// What the person asked for on the command line.
enum class ScopeRequest { None, AllUsers, CurrentUser };

// The scope a run takes, or why it cannot run.
struct RunScopeChoice {
  enum class Outcome {
    Chosen,           // scope holds the run's scope
    Ask,              // an interactive run of an "either" script: the wizard asks
    RefusedAllUsers,  // --allusers on a "user" script
    RefusedCurrentUser,  // --currentuser on a "machine" script
    NeedsCurrentUser,    // silent "either" run that cannot elevate: name --currentuser
  };
  Outcome outcome;
  RunScope scope;  // with Ask: the scope preselected on the wizard's page
};

// What the run knows of itself when it chooses.
struct RunFacts {
  bool silent = false;
  bool canElevate = false;       // an elevation prompt could make it administrator
  bool isAdministrator = false;  // it already has administrator rights
};

// The rule of the command line and the script: a "machine" script runs per
// machine, a "user" script per user, an "either" script as asked; without a
// request, a silent "either" run is per machine where the process can
// elevate, and an interactive one asks (all users preselected for an
// administrator).
RunScopeChoice ChooseRunScope(InstallScope script, ScopeRequest request, const RunFacts& facts);
