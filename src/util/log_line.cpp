#include "util/log_line.h"

WideString OneLineText(const WideString& text) {
  WideString line;
  for (int i = 1; i <= text.Length(); ++i) {
    const WChar c = text.CharAt(i);
    if (c == u'\r') {
      line.Append(u"<CR>");
    } else if (c == u'\n') {
      line.Append(u"<LF>");
    } else if (c < 0x20 || c == 0x7F) {
      line.AppendChar(u' ');
    } else {
      line.AppendChar(c);
    }
  }
  return line;
}

std::string LogLineText(const LogStamp& stamp, uint32_t processId, const WideString& role, const WideString& kind,
                        const WideString& detail) {
  WideString line = WideString::Format(u"%04d-%02d-%02d %02d:%02d:%02d.%03d [%u %s] %s", stamp.year, stamp.month,
                                       stamp.day, stamp.hour, stamp.minute, stamp.second, stamp.millisecond,
                                       processId, OneLineText(role), OneLineText(kind));
  if (!detail.IsEmpty()) {
    line.Append(u": ");
    line.Append(OneLineText(detail));
  }
  line.Append(u"\r\n");
  return line.ToUtf8();
}

WideString ErrorDetail(const WideString& windowsText, uint32_t error) {
  WideString text = windowsText;
  while (!text.IsEmpty()) {
    const WChar last = text.CharAt(kLastPosition);
    if (last != u'\r' && last != u'\n' && last != u' ') break;
    text.RemoveLast(1);
  }
  if (text.IsEmpty()) text = u"unknown error";
  const WideString code = (error & 0x80000000u) != 0 ? WideString::Format(u"0x%08X", error)
                                                      : WideString::FromUnsigned(error);
  return text + u" (error " + code + u")";
}

WideString LogMutexName(const WideString& fullPath) {
  // FNV-1a over the UTF-16 units.
  uint64_t hash = 14695981039346656037ull;
  for (int i = 1; i <= fullPath.Length(); ++i) {
    hash ^= FoldAsciiLower(fullPath.CharAt(i));
    hash *= 1099511628211ull;
  }
  return u"Local\\PloveInstallLog-" + WideString::Hex16(hash);
}
