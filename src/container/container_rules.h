#pragma once
// The decisions of a container run that need no Windows: which payload
// members are inner installers, the choice between 32-bit and 64-bit
// variants, the parameters each inner installer gets, the container's
// "[Message]" entries, and the container's exit code from the inner
// installers' results.

#include <cstdint>

#include "util/wide_string.h"

// The marker in the member name of a 64-bit inner installer (case-sensitive).
constexpr const char16_t* kWin64VariantMarker = u"__PLI_WIN64";

// True for every member except those whose name, without folder and
// extension, is "setup" (ASCII case ignored): setup.dat, setup.bmp,
// setup.lic, and an inner "Setup.exe" alike.
bool IsInnerInstallerName(const WideString& member);
// True when the name holds kWin64VariantMarker.
bool Is64BitVariantName(const WideString& member);

// What the container knows when it chooses the variants.
struct BitnessInputs {
  bool has64BitVariants = false;  // some inner installer is a 64-bit variant
  bool force32BitAsked = false;   // "--force32bit", or the right Shift key held
  bool is64BitWindows = false;
  bool conditionHolds = false;    // the script's "{force32bitinstallif}" line holds
};

struct BitnessChoice {
  bool use32Bit = false;
  bool use64Bit = false;
  bool passForce32Bit = false;  // inner installers get " --force32bit"
};

// Without 64-bit variants nothing is chosen (every installer runs). With
// them: a request for 32 bits wins, else 64-bit Windows takes the 64-bit
// variants, else the 32-bit ones; a condition that holds then forces the
// 32-bit variants and " --force32bit" whatever came before.
BitnessChoice ChooseBitness(const BitnessInputs& inputs);

// Whether an inner installer runs: every one without 64-bit variants; with
// them, a 64-bit variant unless 32 bits were chosen, any other unless 64 bits
// were.
bool SelectedForRun(const WideString& member, bool has64BitVariants, const BitnessChoice& choice);

// The parameters of every inner installer: " --force32bit" when passed on,
// " --silent" when the container runs silently, and always
// " --noautoreboot --selfrun": no inner installer restarts Windows while
// others still wait; the container offers the restart itself at the end.
WideString InnerParameters(bool passForce32Bit, bool silent);

// A "[Message]" entry of the container script.
enum class MessageKind : uint8_t { Error, Question, Information, Warning, QuestionYesNo, Plain };
// The kind named by the type line (exact case); Plain for any other text.
MessageKind MessageKindOf(const WideString& typeLine);
// The text as shown: every "\n" (backslash, n) becomes CR LF.
WideString MessageText(const WideString& textLine);
// True when the text is the 32-bit condition, which is never shown.
bool IsForce32BitConditionText(const WideString& text);

// What became of one inner installer.
struct InnerRun {
  bool started = false;        // extracted and started
  bool exitCodeKnown = false;  // waited for, with its exit code read
  uint32_t exitCode = 0;
};

// The container's results, added up run by run.
class ContainerTally {
 public:
  // A run that was not started counts as failed. Exit codes: 0 done, 1602
  // cancelled, 3010 restart needed, 1641 restart started; any other code is
  // a failure. A run whose code is unknown counts as done.
  void Add(const InnerRun& run);
  // A "QuestionYesNo" of the container answered No.
  void AnsweredNo() { cancelled_ = true; }

  bool AnyFailed() const { return failed_; }
  bool AnyCancelled() const { return cancelled_; }
  bool AnyNeedsRestart() const { return restartNeeded_; }
  bool AnyStartedRestart() const { return restartStarted_; }
  // Nothing to run on this system: a failure.
  void NothingToRun() { failed_ = true; }

  // 1603 when any failed; else 1602 when any was cancelled or the question
  // answered No; else 1641 when an inner installer or the container itself
  // (containerRestartRequested) asked Windows to restart; else 3010 when
  // any needs a restart; else 0.
  int ExitCode(bool containerRestartRequested) const;

 private:
  bool failed_ = false;
  bool cancelled_ = false;
  bool restartNeeded_ = false;
  bool restartStarted_ = false;
};
