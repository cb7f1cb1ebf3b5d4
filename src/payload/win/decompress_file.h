#pragma once
// Turns one member - an LZMA-alone stream or a stored member - held in a
// file or in memory, into the decoded file.

#include <cstddef>
#include <cstdint>

#include "util/wide_string.h"

// How a decoding ended. Read covers a refused header, corrupt or truncated
// data and an unreadable source; Write covers memory running out (no
// allocation failure escapes) and a target that cannot be created or
// written.
enum class [[nodiscard]] DecodeFailure : uint8_t { None, Read, Write, Cancelled };

// Asked between pieces of output; true stops the decoding (Cancelled).
struct DecodeCancel {
  bool (*requested)(void* context) = nullptr;
  void* context = nullptr;

  bool Requested() const { return requested != nullptr && requested(context); }
};

// Where the decoded bytes go.
enum class DecodeTarget : uint8_t {
  // Into a new file beside the target, which replaces the target only when
  // the whole member is there: on failure the target is as it was.
  Replace,
  // Straight into the target, a scratch file of the caller's (one file
  // made, none renamed): on failure it holds something partial.
  Scratch,
};

// Decodes the stream in packed[0, size) into targetPath without showing
// anything. An empty stream gives an empty target. On failure (cancelling
// included) no new file is left beside the target. cancel may be null. Safe
// to call from several threads at once.
DecodeFailure DecodeMemoryToFile(const uint8_t* packed, size_t size, const WideString& targetPath,
                                 const DecodeCancel* cancel, DecodeTarget mode = DecodeTarget::Replace);

// The same into the open file behind handle, from its start, cut to what
// it holds at the end; on failure it holds something partial. The handle
// stays open.
DecodeFailure DecodeMemoryToHandle(const uint8_t* packed, size_t size, void* handle, const DecodeCancel* cancel);

// Shows the message of a failure, without owner window, with the
// installer's caption, MB_ICONERROR | MB_TOPMOST:
//   Read:  "Error whilst uncompressing '<target>', unable to read '<source>'"
//   Write: "Error whilst uncompressing '<target>', unable to write '<target>'"
// None and Cancelled show nothing.
void ShowDecodeFailure(DecodeFailure failure, const WideString& sourcePath, const WideString& targetPath);

// True when targetPath holds the member that the file sourcePath holds. An
// empty or missing source gives an empty target. On failure shows the
// message of ShowDecodeFailure and leaves the target as it was.
bool DecompressFile(const WideString& sourcePath, const WideString& targetPath);

// The write message above, for the callers on the way to a decoding that
// run out of memory themselves.
void ShowUncompressWriteError(const WideString& targetPath);
