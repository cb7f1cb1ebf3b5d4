#pragma once
// Containers of the real installer under test: payloads whose script says
// "[InstallContainer]", holding inner installers. Most inner installers
// here are the inner probe (fixtures/inner_probe.c), which logs the
// parameters it was started with and ends as its name tells; a few are real
// installers packed from small test products.

#include <memory>
#include <string>
#include <vector>

#include "setup_harness.h"

// An inner probe under the member name.
PackSource InnerProbe(const std::string& memberName);
// A container payload: setup.dat with script, then the members in order.
std::vector<PackSource> ContainerPayload(const std::string& script, std::vector<PackSource> members);

// One line of the inner probes' log: the member that ran (the name it was
// packed under; the runner adds a prefix of its own to the file) and its
// parameters.
struct InnerStart {
  std::string member;
  std::string parameters;
};

// Sets an environment variable for the processes started while it lives
// (an empty value removes it), and restores the previous state.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const WideString& value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const wchar_t* name_;
  bool had_ = false;
  WideString previous_;
};

// The container started as a process with the inner probes' log set up and
// the right Shift key pretended up (or down).
class ContainerProcess {
 public:
  ContainerProcess(const WideString& exe, const WideString& arguments, const std::vector<int>& answers = {},
                   bool rightShiftDown = false);

  SetupProcess& Process() { return *process_; }
  // The inner starts logged so far, in order.
  std::vector<InnerStart> Starts() const;

 private:
  TestFolder folder_;
  std::unique_ptr<SetupProcess> process_;
};

// The extracted copies of inner installers ("*.tmp-*") in the temporary
// folder.
std::vector<WideString> ExtractedCopies();
