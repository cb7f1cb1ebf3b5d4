#pragma once
// The payload of this run: the archive plus a temporary "PLI" folder that
// holds the three fixed members (setup.dat, setup.bmp, setup.lic) under
// their lower-case names. Start-up makes one and publishes it.

#include <cstddef>

#include "payload/win/payload_archive.h"
#include "util/wide_string.h"

class PayloadContext {
 public:
  PayloadContext() = default;
  ~PayloadContext() { Close(); }
  PayloadContext(const PayloadContext&) = delete;
  PayloadContext& operator=(const PayloadContext&) = delete;

  // Makes the payload folder, opens the executable's payload and extracts
  // the fixed members. failed is set when setup.dat could not be extracted;
  // then "Unable to extract a file from install, possibly your security
  // software is blocking the install." has been shown. Returns !*failed.
  bool Open(bool* failed);
  // The same with the archive held in memory (must outlive the context).
  bool OpenFromMemory(const void* data, size_t size, bool* failed);
  // Closes the archive and removes the payload folder with its content.
  void Close();

  // The payload folder with a trailing backslash.
  const WideString& PayloadFolder() const { return folder_; }
  bool HasLicence() const { return hasLicence_; }
  PayloadArchive& Archive() { return archive_; }

 private:
  bool ExtractFixedMembers(bool* failed);

  PayloadArchive archive_;
  WideString folder_;
  bool hasLicence_ = false;
};

// The process-wide payload (State().Payload); null until published.
PayloadContext* PublishedPayload();
void PublishPayload(PayloadContext* context);
