// The installer's entry point. For now it performs the first steps of
// start-up only: it opens the payload of this executable (extracting
// setup.dat, setup.bmp and setup.lic into the payload folder, with the
// payload's own messages when that fails), publishes it for the rest of the
// run, and closes it again, which removes the payload folder. Command-line
// handling, the run modes and the wizard follow.

#include "app/install_state.h"
#include "payload/win/payload_context.h"
#include "util/win/windows_api.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  State().Instance = instance;
  {
    PayloadContext payload;
    bool failed = false;
    payload.Open(&failed);
    PublishPayload(&payload);
    PublishPayload(nullptr);
  }
  return 0;
}
