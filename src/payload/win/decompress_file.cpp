#include "payload/win/decompress_file.h"

#include <vector>

#include "app/install_state.h"
#include "payload/lzma_alone.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/message_door.h"

namespace {

constexpr DWORD kInputChunk = 256 * 1024;
// Output is gathered up to this much before the target is touched, so a
// member of that size or less is written in one piece, and a stream that
// fails early leaves an existing target alone.
constexpr size_t kOutputBuffer = 8u << 20;

enum class Failure { None, Read, Write };

// Receives the decoded bytes: buffers them, creates the target on the first
// flush and deletes it again when the decoding fails afterwards.
class TargetWriter {
 public:
  explicit TargetWriter(const WideString& path) : path_(path) {}
  ~TargetWriter() {
    if (!committed_ && created_) {
      file_.Close();
      DeleteFileForced(path_);
    }
  }

  bool Take(const uint8_t* data, size_t size) {
    if (buffer_.size() + size > kOutputBuffer && !Flush()) return false;
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }

  bool Flush() {
    if (!created_) {
      if (!file_.Open(path_, GENERIC_WRITE, CREATE_ALWAYS, false)) return false;
      created_ = true;
    }
    const bool written = file_.Write(buffer_.data(), static_cast<DWORD>(buffer_.size()));
    buffer_.clear();
    return written;
  }

  // The remaining bytes out, the target closed and kept.
  bool Commit() {
    if (!Flush()) return false;
    file_.Close();
    committed_ = true;
    return true;
  }

 private:
  WideString path_;
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

}  // namespace

bool DecompressFile(const WideString& sourcePath, const WideString& targetPath) {
  const Failure failure = Decompress(sourcePath, targetPath);
  if (failure == Failure::None) return true;
  const WideString text =
      failure == Failure::Read
          ? WideString::Format(u"Error whilst uncompressing '%s', unable to read '%s'", targetPath, sourcePath)
          : WideString::Format(u"Error whilst uncompressing '%s', unable to write '%s'", targetPath, targetPath);
  ShowMessage(nullptr, text, State().InstallerTitle, MB_ICONERROR | MB_TOPMOST);
  return false;
}
