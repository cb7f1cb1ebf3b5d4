#include "container/container_rules.h"

#include "app/outcome.h"
#include "script/directives.h"
#include "util/path_text.h"

bool IsInnerInstallerName(const WideString& member) {
  const WideString name = FileName(member);
  const int dot = name.FindLast(u'.');
  const WideString stem = dot == 0 ? name : name.Left(dot - 1);
  return !stem.Equals(WideString(u"setup"), true);
}

bool Is64BitVariantName(const WideString& member) { return member.Find(WideString(kWin64VariantMarker)) != 0; }

BitnessChoice ChooseBitness(const BitnessInputs& inputs) {
  BitnessChoice choice;
  if (!inputs.has64BitVariants) return choice;
  if (inputs.force32BitAsked) {
    choice.use32Bit = true;
    choice.passForce32Bit = true;
  } else if (inputs.is64BitWindows) {
    choice.use64Bit = true;
  } else {
    choice.use32Bit = true;
  }
  if (inputs.conditionHolds) {
    choice.use32Bit = true;
    choice.use64Bit = false;
    choice.passForce32Bit = true;
  }
  return choice;
}

bool SelectedForRun(const WideString& member, bool has64BitVariants, const BitnessChoice& choice) {
  if (!has64BitVariants) return true;
  return Is64BitVariantName(member) ? !choice.use32Bit : !choice.use64Bit;
}

WideString InnerParameters(bool passForce32Bit, bool silent) {
  WideString parameters;
  if (passForce32Bit) parameters.Append(u" --force32bit");
  if (silent) parameters.Append(u" --silent");
  parameters.Append(u" --noautoreboot --selfrun");
  return parameters;
}

MessageKind MessageKindOf(const WideString& typeLine) {
  struct Name {
    const char16_t* text;
    MessageKind kind;
  };
  static const Name kNames[] = {{u"Error", MessageKind::Error},
                                {u"Question", MessageKind::Question},
                                {u"Information", MessageKind::Information},
                                {u"Warning", MessageKind::Warning},
                                {u"QuestionYesNo", MessageKind::QuestionYesNo}};
  for (const Name& name : kNames) {
    if (typeLine == WideString(name.text)) return name.kind;
  }
  return MessageKind::Plain;
}

WideString MessageText(const WideString& textLine) {
  WideString text = textLine;
  text.Replace(WideString(u"\\n"), WideString(u"\r\n"), false);
  return text;
}

bool IsForce32BitConditionText(const WideString& text) { return text.Find(WideString(kForce32BitSeparator)) != 0; }

void ContainerTally::Add(const InnerRun& run) {
  if (!run.started) {
    failed_ = true;
    return;
  }
  if (!run.exitCodeKnown) return;
  switch (run.exitCode) {
    case kExitSuccess:
      break;
    case kExitCancelled:
      cancelled_ = true;
      break;
    case kExitRestartNeeded:
      restartNeeded_ = true;
      break;
    case kExitRestartStarted:
      restartStarted_ = true;
      break;
    default:
      failed_ = true;
      break;
  }
}

int ContainerTally::ExitCode(bool containerRestartRequested) const {
  if (failed_) return kExitFailed;
  if (cancelled_) return kExitCancelled;
  if (restartStarted_ || containerRestartRequested) return kExitRestartStarted;
  if (restartNeeded_) return kExitRestartNeeded;
  return kExitSuccess;
}
