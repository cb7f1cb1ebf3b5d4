#include "engine/win/installed_version.h"

#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"

WideString ReadRecordVersion(const WideString& recordPath) {
  DiskFile record;
  if (!recordPath.IsEmpty() && record.Open(recordPath, GENERIC_READ, OPEN_EXISTING, false)) {
    WideString line;
    while (ReadLine(record, line, false)) {
      if (line.Equals(Directive::ProgramVersion)) {
        ReadValueLines(record, &line, 1);
        return line;
      }
    }
  }
  return WideString(u"[Unkonwn]");
}
