#include "engine/win/installed_version.h"

#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"

WideString ReadRecordVersion(const WideString& recordPath) {
  DiskFile file;
  if (!recordPath.IsEmpty() && file.Open(recordPath, GENERIC_READ, OPEN_EXISTING, false)) {
    LineReader record(file, false);
    WideString line;
    while (record.Next(line)) {
      if (line.Equals(Directive::ProgramVersion)) {
        record.NextValues(&line, 1);
        return line;
      }
    }
  }
  return WideString(u"[Unkonwn]");
}
