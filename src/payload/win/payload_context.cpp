#include "payload/win/payload_context.h"

#include "app/install_state.h"
#include "util/win/file_system.h"
#include "util/win/message_door.h"
#include "util/win/temp_names.h"

bool PayloadContext::Open(bool* failed) {
  Close();
  MakeTempFolder(folder_);
  archive_.Open();
  return ExtractFixedMembers(failed);
}

bool PayloadContext::OpenFromMemory(const void* data, size_t size, bool* failed) {
  Close();
  MakeTempFolder(folder_);
  archive_.OpenFromMemory(data, size);
  return ExtractFixedMembers(failed);
}

bool PayloadContext::ExtractFixedMembers(bool* failed) {
  // Members may be stored with capital letters; the copies always get the
  // lower-case names.
  bool scriptFailed = !archive_.ExtractTo(WideString(u"setup.dat"), folder_ + u"setup.dat");
  if (archive_.Find(WideString(u"setup.bmp"))) {
    archive_.ExtractTo(WideString(u"setup.bmp"), folder_ + u"setup.bmp");
  }
  hasLicence_ = false;
  if (archive_.Find(WideString(u"setup.lic"))) {
    archive_.ExtractTo(WideString(u"setup.lic"), folder_ + u"setup.lic");
    hasLicence_ = true;
  }
  if (scriptFailed) {
    ShowMessage(nullptr,
                WideString(u"Unable to extract a file from install, possibly your security software is "
                           u"blocking the install."),
                State().InstallerTitle, MB_ICONERROR);
  }
  if (failed != nullptr) *failed = scriptFailed;
  return !scriptFailed;
}

void PayloadContext::Close() {
  archive_.Close();
  if (!folder_.IsEmpty()) {
    DeleteFolderTree(folder_, WideString(u"*.*"), true);
    folder_.Clear();
  }
  hasLicence_ = false;
  if (State().Payload == this) State().Payload = nullptr;
}

PayloadContext* PublishedPayload() { return State().Payload; }

void PublishPayload(PayloadContext* context) { State().Payload = context; }
