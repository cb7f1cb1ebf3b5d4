#include "container/win/container_messages.h"

#include "app/install_state.h"
#include "container/container_rules.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"
#include "util/win/message_door.h"

namespace {

UINT IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error: return MB_ICONERROR;
    case MessageKind::Question:
    case MessageKind::QuestionYesNo: return MB_ICONQUESTION;
    case MessageKind::Information: return MB_ICONINFORMATION;
    case MessageKind::Warning: return MB_ICONWARNING;
    case MessageKind::Plain: break;
  }
  return 0;
}

}  // namespace

bool ShowContainerMessages(const WideString& scriptPath, const NamedEvent& stopEvent) {
  DiskFile file;
  if (!file.Open(scriptPath, GENERIC_READ, OPEN_EXISTING, false)) return true;
  LineReader script(file, false);
  const WideString message(Directive::Message);
  const WideString& caption = State().InstallerTitle;
  WideString line;
  while (!stopEvent.IsSignalled() && script.Next(line)) {
    if (line != message) continue;
    WideString values[2];  // text, type
    script.NextValues(values, 2);
    if (IsForce32BitConditionText(values[0])) continue;
    const MessageKind kind = MessageKindOf(values[1]);
    const WideString text = MessageText(values[0]);
    if (kind == MessageKind::QuestionYesNo) {
      if (ShowMessage(nullptr, text, caption, MB_YESNO | IconOf(kind)) == IDNO) return false;
    } else {
      ShowMessage(nullptr, text, caption, MB_OK | IconOf(kind));
    }
  }
  return true;
}
