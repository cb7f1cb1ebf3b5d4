#include <gtest/gtest.h>

#include "print_wide.h"
#include "script/install_scope.h"

TEST(InstallScopeLine, NamesInAnyCaseAndNothingElse) {
  const struct {
    const char16_t* line;
    bool known;
    InstallScope scope;
  } cases[] = {
      {u"machine", true, InstallScope::Machine}, {u"User", true, InstallScope::User},
      {u"  EITHER ", true, InstallScope::Either}, {u"users", false, InstallScope::Either},
      {u"", false, InstallScope::Either},         {u"per-user", false, InstallScope::Either},
  };
  for (const auto& c : cases) {
    InstallScope scope = InstallScope::Either;
    EXPECT_EQ(ParseInstallScope(WideString(c.line), scope), c.known) << WideString(c.line);
    EXPECT_EQ(scope, c.scope) << WideString(c.line);
  }
  for (InstallScope s : {InstallScope::Machine, InstallScope::User, InstallScope::Either}) {
    InstallScope back = InstallScope::Machine;
    ASSERT_TRUE(ParseInstallScope(WideString(InstallScopeName(s)), back));
    EXPECT_EQ(back, s);
  }
}

TEST(InstallScopeChoice, ScriptRequestAndWhatTheRunCanDo) {
  using O = RunScopeChoice::Outcome;
  const RunScope M = RunScope::Machine, U = RunScope::User;
  const struct {
    InstallScope script;
    ScopeRequest request;
    RunFacts facts;
    O outcome;
    RunScope scope;
  } cases[] = {
      {InstallScope::Machine, ScopeRequest::None, {true, false, false}, O::Chosen, M},
      {InstallScope::Machine, ScopeRequest::AllUsers, {false, true, false}, O::Chosen, M},
      {InstallScope::Machine, ScopeRequest::CurrentUser, {false, true, true}, O::RefusedCurrentUser, M},
      {InstallScope::User, ScopeRequest::None, {false, true, true}, O::Chosen, U},
      {InstallScope::User, ScopeRequest::CurrentUser, {true, false, false}, O::Chosen, U},
      {InstallScope::User, ScopeRequest::AllUsers, {true, true, true}, O::RefusedAllUsers, U},
      {InstallScope::Either, ScopeRequest::AllUsers, {true, false, false}, O::Chosen, M},
      {InstallScope::Either, ScopeRequest::CurrentUser, {true, true, true}, O::Chosen, U},
      {InstallScope::Either, ScopeRequest::None, {true, true, false}, O::Chosen, M},
      {InstallScope::Either, ScopeRequest::None, {true, false, false}, O::NeedsCurrentUser, U},
      {InstallScope::Either, ScopeRequest::None, {false, true, true}, O::Ask, M},
      {InstallScope::Either, ScopeRequest::None, {false, true, false}, O::Ask, U},
  };
  int row = 0;
  for (const auto& c : cases) {
    const RunScopeChoice choice = ChooseRunScope(c.script, c.request, c.facts);
    EXPECT_EQ(choice.outcome, c.outcome) << "row " << row;
    EXPECT_EQ(choice.scope, c.scope) << "row " << row;
    ++row;
  }
}
