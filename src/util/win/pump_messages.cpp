#include "util/win/pump_messages.h"

#include "util/win/windows_api.h"

bool PumpMessages(bool& quit) {
  MSG message;
  while (!quit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return !quit;
}
