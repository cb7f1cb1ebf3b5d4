#include "payload/win/decompress_file.h"

#include <new>
#include <vector>

#include "app/install_state.h"
#include "payload/lzma_alone.h"
#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/message_door.h"
#include "util/win/random.h"

namespace {

constexpr DWORD kInputChunk = 256 * 1024;
// Output is gathered up to this much before it goes to disk, so a member of
// that size or less is written in one piece.
constexpr size_t kOutputBuffer = 8u << 20;

enum class Failure { None, Read, Write };

// Receives the decoded bytes into a new file beside the target, which takes
// the target's place only once the whole member is there: a member that
// fails leaves whatever the target held before (with duplicate names, what
// an earlier member of the name extracted) and no partial file.
class TargetWriter {
 public:
  explicit TargetWriter(const WideString& path) : path_(path) {}
  ~TargetWriter() {
    if (!committed_ && created_) {
      file_.Close();
      DeleteFileForced(partPath_);
    }
  }

  bool Take(const uint8_t* data, size_t size) {
    if (buffer_.size() + size > kOutputBuffer && !Flush()) return false;
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }

  // The remaining bytes out, then the new file moved over the target.
  bool Commit() {
    if (!Flush()) return false;
    file_.Close();
    const WideString from = LongPathForm(partPath_, MAX_PATH);
    const WideString to = LongPathForm(path_, MAX_PATH);
    if (!MoveFileExW(from.W(), to.W(), MOVEFILE_REPLACE_EXISTING)) return false;
    committed_ = true;
    return true;
  }

 private:
  bool Flush() {
    if (!created_ && !CreatePart()) return false;
    const bool written = file_.Write(buffer_.data(), static_cast<DWORD>(buffer_.size()));
    buffer_.clear();
    return written;
  }

  // A name nobody uses yet: the target's name with a random suffix.
  bool CreatePart() {
    for (int attempt = 0; attempt < 8; ++attempt) {
      partPath_ = path_ + WideString::Format(u".%08X.plx", Random(0));
      if (file_.Open(partPath_, GENERIC_WRITE, CREATE_NEW, false)) {
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
  std::vector<uint8_t> buffer_;
  bool created_ = false;
  bool committed_ = false;
};

Failure Decompress(const WideString& sourcePath, const WideString& targetPath) {
  TargetWriter target(targetPath);
  // A source of no bytes (or none at all) is an empty member.
  if (FileSizeOf(sourcePath) == 0) return target.Commit() ? Failure::None : Failure::Write;

  DiskFile source;
  if (!source.Open(sourcePath, GENERIC_READ, OPEN_EXISTING, false)) return Failure::Read;

  bool sinkFailed = false;
  LzmaAloneDecoder decoder([&](const uint8_t* data, size_t size) {
    sinkFailed = !target.Take(data, size);
    return !sinkFailed;
  });

  std::vector<uint8_t> chunk(kInputChunk);
  LzmaDecodeStatus status = LzmaDecodeStatus::NeedInput;
  while (status == LzmaDecodeStatus::NeedInput) {
    const DWORD got = source.Read(chunk.data(), kInputChunk);
    if (got == 0) {
      status = decoder.Finish();
      break;
    }
    status = decoder.Feed(chunk.data(), got);
  }
  source.Close();

  switch (status) {
    case LzmaDecodeStatus::Ok:
      return target.Commit() ? Failure::None : Failure::Write;
    case LzmaDecodeStatus::MemoryError:
    case LzmaDecodeStatus::SinkFailed:
      return Failure::Write;
    default:
      return Failure::Read;
  }
}

void ShowFailure(Failure failure, const WideString& sourcePath, const WideString& targetPath) {
  try {
    const WideString text =
        failure == Failure::Read
            ? WideString::Format(u"Error whilst uncompressing '%s', unable to read '%s'", targetPath, sourcePath)
            : WideString::Format(u"Error whilst uncompressing '%s', unable to write '%s'", targetPath, targetPath);
    ShowMessage(nullptr, text, State().InstallerTitle, MB_ICONERROR | MB_TOPMOST);
  } catch (const std::bad_alloc&) {
    // Not even the message fits in memory; the result still tells.
  }
}

}  // namespace

bool DecompressFile(const WideString& sourcePath, const WideString& targetPath) {
  Failure failure = Failure::Write;
  try {
    failure = Decompress(sourcePath, targetPath);
  } catch (const std::bad_alloc&) {
    // Whichever buffer could not be had, the member does not fit: the
    // write error, as for a decoder that runs out of memory. Everything
    // allocated so far has been given back on the way here.
    failure = Failure::Write;
  }
  if (failure == Failure::None) return true;
  ShowFailure(failure, sourcePath, targetPath);
  return false;
}

void ShowUncompressWriteError(const WideString& targetPath) { ShowFailure(Failure::Write, WideString(), targetPath); }
