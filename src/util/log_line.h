#pragma once
// The text of one install-log line, without Windows. A line reads
//   2025-03-01 14:02:11.532 [4120 first process] file new: C:\App\app.exe
// time stamp (local time, milliseconds), the process id and its role in
// brackets, then the kind of event and its detail after ": ". A line ends
// with CR LF and never holds another line break: carriage returns and line
// feeds inside the texts are written as "<CR>" and "<LF>", tabs and the
// other control characters as spaces. The text is UTF-8.

#include <cstdint>
#include <string>

#include "util/wide_string.h"

struct LogStamp {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// One line, "\r\n" included. An empty detail leaves the ": " out.
std::string LogLineText(const LogStamp& stamp, uint32_t processId, const WideString& role, const WideString& kind,
                        const WideString& detail);

// text with the line breaks and control characters replaced as above.
WideString OneLineText(const WideString& text);

// Windows' text for an error, trimmed of its line end and final spaces,
// followed by " (error N)"; N in decimal, or as 0x%08X when its top bit is
// set (an HRESULT). An empty text gives "unknown error (error N)".
WideString ErrorDetail(const WideString& windowsText, uint32_t error);

// The name of the mutex that the processes writing to one log share:
// "Local\PloveInstallLog-" and 16 hexadecimal digits of a hash of the full
// path with its ASCII letters folded, so every spelling of the path that
// differs only in case gives the same name.
WideString LogMutexName(const WideString& fullPath);
