#include "script/install_scope.h"

bool ParseInstallScope(const WideString& value, InstallScope& scope) {
  WideString word = value;
  word.TrimLeadingSpaces();
  word.TrimTrailingSpaces();
  for (InstallScope candidate : {InstallScope::Machine, InstallScope::User, InstallScope::Either}) {
    if (word.Equals(WideString(InstallScopeName(candidate)), true)) {
      scope = candidate;
      return true;
    }
  }
  return false;
}

const char16_t* InstallScopeName(InstallScope scope) {
  switch (scope) {
    case InstallScope::User:
      return u"user";
    case InstallScope::Either:
      return u"either";
    case InstallScope::Machine:
      break;
  }
  return u"machine";
}

RunScopeChoice ChooseRunScope(InstallScope script, ScopeRequest request, const RunFacts& facts) {
  using Outcome = RunScopeChoice::Outcome;
  switch (script) {
    case InstallScope::Machine:
      if (request == ScopeRequest::CurrentUser) return {Outcome::RefusedCurrentUser, RunScope::Machine};
      return {Outcome::Chosen, RunScope::Machine};
    case InstallScope::User:
      if (request == ScopeRequest::AllUsers) return {Outcome::RefusedAllUsers, RunScope::User};
      return {Outcome::Chosen, RunScope::User};
    case InstallScope::Either:
      break;
  }
  if (request == ScopeRequest::AllUsers) return {Outcome::Chosen, RunScope::Machine};
  if (request == ScopeRequest::CurrentUser) return {Outcome::Chosen, RunScope::User};
  if (!facts.silent) return {Outcome::Ask, facts.isAdministrator ? RunScope::Machine : RunScope::User};
  if (facts.canElevate) return {Outcome::Chosen, RunScope::Machine};
  return {Outcome::NeedsCurrentUser, RunScope::User};
}
