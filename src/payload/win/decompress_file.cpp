#include "payload/win/decompress_file.h"

#include <algorithm>
#include <new>
#include <vector>

#include "app/install_state.h"
#include "payload/lzma_alone.h"
#include "payload/member_method.h"
#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/message_door.h"
#include "util/win/random.h"
#include "util/win/safe_files.h"

namespace {

constexpr DWORD kInputChunk = 256 * 1024;
// Output is gathered up to this much before it goes to disk, so a member of
// that size or less is written in one piece. Each decoding thread holds one
// such buffer besides the decoder's dictionary.
constexpr size_t kOutputBuffer = 4u << 20;
// Pieces this large (a stored member's bytes, straight from the payload)
// are written as they come, without passing through the buffer.
constexpr size_t kDirectWrite = 1u << 20;

// Receives the decoded bytes into a new file beside the target, which takes
// the target's place only once the whole member is there: a member that
// fails leaves whatever the target held before (with duplicate names, what
// an earlier member of the name extracted) and no partial file.
class TargetWriter {
 public:
  TargetWriter(const WideString& path, DecodeTarget mode) : path_(path), scratch_(mode == DecodeTarget::Scratch) {}
  // Into a file the caller holds open, written from its start.
  explicit TargetWriter(HANDLE handle) : scratch_(true), given_(handle) {}
  ~TargetWriter() {
    if (!committed_ && created_) {
      file_.Close();
      owned_.Reset();
      if (!scratch_) DeleteFileForced(partPath_);
    }
  }

  // The declared size, once known: the buffer is made once, at its final
  // size, when anything is gathered in it.
  void Expect(uint64_t size) { expected_ = size; }

  bool Take(const uint8_t* data, size_t size) {
    if (size >= kDirectWrite) return Flush() && WriteOut(data, size);
    if (buffer_.size() + size > kOutputBuffer && !Flush()) return false;
    if (buffer_.capacity() == 0) buffer_.reserve(static_cast<size_t>(std::min<uint64_t>(expected_, kOutputBuffer)));
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }

  // The remaining bytes out, then the new file moved over the target.
  bool Commit() {
    if (!Flush()) return false;
    if (scratch_) {
      // Whatever the file held before ends here.
      committed_ = SetEndOfFile(file_.Handle()) != FALSE;
      file_.Close();
      return committed_;
    }
    file_.Close();
    owned_.Reset();
    if (!MoveItem(partPath_, path_, MOVEFILE_REPLACE_EXISTING)) return false;
    committed_ = true;
    return true;
  }

 private:
  bool Flush() {
    const bool written = WriteOut(buffer_.data(), buffer_.size());
    buffer_.clear();
    return written;
  }

  bool WriteOut(const uint8_t* data, size_t size) {
    if (!created_ && !CreatePart()) return false;
    return file_.Write(data, static_cast<DWORD>(size));
  }

  // A name nobody uses yet: the target's name with a random suffix. A
  // scratch target is written in place (opened as it is: re-creating a
  // hidden file is refused).
  bool CreatePart() {
    if (given_ != INVALID_HANDLE_VALUE) {
      file_.Attach(given_);
      created_ = file_.Seek(0, false);
      return created_;
    }
    if (scratch_) {
      created_ = file_.Open(path_, GENERIC_WRITE, OPEN_ALWAYS, false);
      partPath_.Clear();  // nothing to delete on failure: the caller's own file
      return created_;
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
      partPath_ = path_ + WideString::Format(u".%08X.plx", Random(0));
      // Files extracted by name are the run's temporary ones (the script,
      // programs it runs, data it imports): an administrator's are for the
      // administrative accounts alone, and keep those rules when renamed.
      owned_ = CreateNewFile(partPath_, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL,
                             RunOwnProtection());
      if (owned_) {
        file_.Attach(owned_.Get());
        created_ = true;
        return true;
      }
      if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
  }

  WideString path_;
  WideString partPath_;
  DiskFile file_;
  ScopedFileHandle owned_;  // the part file, for as long as it is written
  std::vector<uint8_t> buffer_;
  uint64_t expected_ = 0;
  bool scratch_;
  HANDLE given_ = INVALID_HANDLE_VALUE;
  bool created_ = false;
  bool committed_ = false;
};

// One decoding into a target: the decoder, its sink and the verdict.
class Decoding {
 public:
  Decoding(const WideString& targetPath, const DecodeCancel* cancel, DecodeTarget mode)
      : target_(targetPath, mode),
        cancel_(cancel),
        decoder_([this](const uint8_t* data, size_t size) { return Take(data, size); }) {}
  Decoding(HANDLE handle, const DecodeCancel* cancel)
      : target_(handle),
        cancel_(cancel),
        decoder_([this](const uint8_t* data, size_t size) { return Take(data, size); }) {}

  LzmaDecodeStatus Feed(const uint8_t* data, size_t size) { return decoder_.Feed(data, size); }
  LzmaDecodeStatus Finish() { return decoder_.Finish(); }

  DecodeFailure End(LzmaDecodeStatus status) {
    if (cancelled_) return DecodeFailure::Cancelled;
    switch (status) {
      case LzmaDecodeStatus::Ok:
        return target_.Commit() ? DecodeFailure::None : DecodeFailure::Write;
      case LzmaDecodeStatus::MemoryError:
      case LzmaDecodeStatus::SinkFailed:
        return DecodeFailure::Write;
      default:
        return DecodeFailure::Read;
    }
  }

  // A stream of no bytes is an empty member.
  DecodeFailure Empty() { return target_.Commit() ? DecodeFailure::None : DecodeFailure::Write; }

 private:
  bool Take(const uint8_t* data, size_t size) {
    if (cancel_ != nullptr && cancel_->Requested()) {
      cancelled_ = true;
      return false;
    }
    if (!sized_) {
      target_.Expect(decoder_.DeclaredSize());
      sized_ = true;
    }
    return target_.Take(data, size);
  }

  TargetWriter target_;
  const DecodeCancel* cancel_;
  MemberDecoder decoder_;
  bool sized_ = false;
  bool cancelled_ = false;
};

DecodeFailure DecodeInto(Decoding& decoding, const uint8_t* packed, size_t size, const DecodeCancel* cancel) {
  if (size == 0) return decoding.Empty();
  if (cancel != nullptr && cancel->Requested()) return DecodeFailure::Cancelled;
  LzmaDecodeStatus status = decoding.Feed(packed, size);
  if (status == LzmaDecodeStatus::NeedInput) status = decoding.Finish();
  return decoding.End(status);
}

DecodeFailure DecodeMemory(const uint8_t* packed, size_t size, const WideString& targetPath,
                           const DecodeCancel* cancel, DecodeTarget mode) {
  Decoding decoding(targetPath, cancel, mode);
  return DecodeInto(decoding, packed, size, cancel);
}

DecodeFailure DecodeFile(const WideString& sourcePath, const WideString& targetPath) {
  Decoding decoding(targetPath, nullptr, DecodeTarget::Replace);
  // A source of no bytes (or none at all) is an empty member.
  if (FileSizeOf(sourcePath) == 0) return decoding.Empty();

  DiskFile source;
  if (!source.Open(sourcePath, GENERIC_READ, OPEN_EXISTING, false)) return DecodeFailure::Read;
  std::vector<uint8_t> chunk(kInputChunk);
  LzmaDecodeStatus status = LzmaDecodeStatus::NeedInput;
  while (status == LzmaDecodeStatus::NeedInput) {
    const DWORD got = source.Read(chunk.data(), kInputChunk);
    if (got == 0) {
      status = decoding.Finish();
      break;
    }
    status = decoding.Feed(chunk.data(), got);
  }
  source.Close();
  return decoding.End(status);
}

}  // namespace

DecodeFailure DecodeMemoryToFile(const uint8_t* packed, size_t size, const WideString& targetPath,
                                 const DecodeCancel* cancel, DecodeTarget mode) {
  try {
    return DecodeMemory(packed, size, targetPath, cancel, mode);
  } catch (const std::bad_alloc&) {
    // Whichever buffer could not be had, the member does not fit: the
    // write error, as for a decoder that runs out of memory. Everything
    // allocated so far has been given back on the way here.
    return DecodeFailure::Write;
  }
}

DecodeFailure DecodeMemoryToHandle(const uint8_t* packed, size_t size, void* handle, const DecodeCancel* cancel) {
  try {
    Decoding decoding(static_cast<HANDLE>(handle), cancel);
    return DecodeInto(decoding, packed, size, cancel);
  } catch (const std::bad_alloc&) {
    return DecodeFailure::Write;  // as in DecodeMemoryToFile
  }
}

void ShowDecodeFailure(DecodeFailure failure, const WideString& sourcePath, const WideString& targetPath) {
  if (failure != DecodeFailure::Read && failure != DecodeFailure::Write) return;
  try {
    const WideString text =
        failure == DecodeFailure::Read
            ? WideString::Format(u"Error whilst uncompressing '%s', unable to read '%s'", targetPath, sourcePath)
            : WideString::Format(u"Error whilst uncompressing '%s', unable to write '%s'", targetPath, targetPath);
    ShowMessage(nullptr, text, State().InstallerTitle, MB_ICONERROR | MB_TOPMOST);
  } catch (const std::bad_alloc&) {
    // Not even the message fits in memory; the result still tells.
  }
}

bool DecompressFile(const WideString& sourcePath, const WideString& targetPath) {
  DecodeFailure failure = DecodeFailure::Write;
  try {
    failure = DecodeFile(sourcePath, targetPath);
  } catch (const std::bad_alloc&) {
    failure = DecodeFailure::Write;  // as in DecodeMemoryToFile
  }
  if (failure == DecodeFailure::None) return true;
  ShowDecodeFailure(failure, sourcePath, targetPath);
  return false;
}

void ShowUncompressWriteError(const WideString& targetPath) {
  ShowDecodeFailure(DecodeFailure::Write, WideString(), targetPath);
}
