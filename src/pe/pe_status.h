#pragma once
// What the PE reader and the resource writer report.

enum class [[nodiscard]] PeStatus {
  Ok,
  NotPe,        // no MZ header, no PE signature, or an unknown optional header
  Corrupt,      // headers or resource directory point outside the file
  Signed,       // carries an Authenticode signature
  Overlay,      // bytes after the last section that cannot be kept safely
  Unsupported,  // a layout the writer cannot change safely (no room for a section header, ...)
  TooLarge,     // the result would reach 4 GiB
  NotFound,     // the requested resource is not there
};

// One English sentence for the status, for messages.
const char* PeStatusText(PeStatus status);
