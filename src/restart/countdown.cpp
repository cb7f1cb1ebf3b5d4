#include "restart/countdown.h"

int CountdownSecondsLeft(uint32_t elapsedMs) {
  uint32_t whole = elapsedMs / 1000;
  if (whole > static_cast<uint32_t>(kRestartCountdownSeconds)) return -1;
  return kRestartCountdownSeconds - static_cast<int>(whole);
}

WideString CountdownLine(int seconds) {
  if (seconds == 0) return WideString(u"Rebooting now...");
  return WideString::Format(u"Automatic reboot in %d second%s", seconds, seconds == 1 ? u"" : u"s");
}
