// stored_decode_bench.exe MEGABYTES FOLDER
// Under Wine (or Windows): how long the installer takes to write out a
// stored member of MEGABYTES of incompressible bytes, decoded from an archive
// file mapped into memory as the payload is, into a temporary file beside its
// destination (the installer's own code: DecodeIntoFolder); against
// CopyFileW of a file holding the same bytes; and what decoding the same
// kind of data as an LZMA stream costs per megabyte (a 16 MB sample). Each
// time is the best of five, in seconds, with the bytes in the page cache.
// Prints one line per measure.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "payload/archive_format.h"
#include "payload/lzma_alone.h"
#include "payload/member_method.h"
#include "payload/win/destination_files.h"
#include "payload/win/payload_archive.h"
#include "util/win/file_system.h"
#include "util/win/scoped_handle.h"

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

bool WriteAll(const WideString& path, const std::vector<uint8_t>& bytes) {
  ScopedFileHandle file(CreateFileW(path.W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD done = 0;
  return file && WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
}

// An archive file mapped for reading, as the loader maps the payload.
class MappedFile {
 public:
  explicit MappedFile(const WideString& path)
      : file_(CreateFileW(path.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {
    LARGE_INTEGER size{};
    if (!file_ || !GetFileSizeEx(file_.Get(), &size)) return;
    size_ = size_t(size.QuadPart);
    mapping_.Reset(CreateFileMappingW(file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping_) view_ = MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, 0);
  }
  ~MappedFile() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
  }
  const void* Data() const { return view_; }
  size_t Size() const { return size_; }

 private:
  ScopedFileHandle file_;
  ScopedKernelHandle mapping_;
  void* view_ = nullptr;
  size_t size_ = 0;
};

template <typename Run>
double Best(Run run) {
  double best = 1e30;
  for (int i = 0; i < 5; ++i) {
    const double start = Seconds();
    if (!run()) return -1;
    best = std::min(best, Seconds() - start);
  }
  return best;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: stored_decode_bench MEGABYTES FOLDER\n");
    return 2;
  }
  const size_t megabytes = size_t(_wtoi(argv[1]));
  WideString folder(argv[2]);
  if (!folder.EndsWith(WideString(u"\\"))) folder += u"\\";
  CreateFolderTree(folder);
  std::mt19937 random(5);
  std::vector<uint8_t> data(megabytes << 20);
  for (uint8_t& b : data) b = uint8_t(random());

  const WideString plain = folder + u"plain.bin";
  const WideString archivePath = folder + u"archive.bin";
  std::vector<uint8_t> stored;
  std::vector<uint8_t> archive;
  if (!WriteAll(plain, data) || !StoreMember(data.data(), data.size(), stored) ||
      WriteArchive({PackedMember{"member.bin", stored, uint32_t(data.size())}}, archive) != ArchiveWriteStatus::Ok ||
      !WriteAll(archivePath, archive)) {
    std::fprintf(stderr, "stored_decode_bench: cannot write the inputs\n");
    return 1;
  }
  stored = {};
  archive = {};

  // A fresh mapping each time, as each install maps its payload afresh.
  const double decode = Best([&] {
    MappedFile mapped(archivePath);
    PayloadArchive payload;
    payload.OpenFromMemory(mapped.Data(), mapped.Size());
    MemberEntries member;
    if (!payload.CollectEntries(WideString(u"member.bin"), member)) return false;
    PreparedMember prepared;
    DecodeIntoFolder(member, folder, nullptr, nullptr, prepared);
    const bool ok = prepared.Ready();
    DeleteFileForced(prepared.file);
    return ok;
  });
  const WideString copy = folder + u"copy.bin";
  const double copied = Best([&] {
    const bool ok = CopyFileW(plain.W(), copy.W(), FALSE) != FALSE;
    DeleteFileForced(copy);
    return ok;
  });

  // LZMA over incompressible data: the stream is no smaller, its decoding
  // far slower.
  data.resize(std::min<size_t>(data.size(), 16u << 20));
  std::vector<uint8_t> lzma;
  LzmaOptions options;
  options.preset = 0;
  CompressLzmaAlone(data.data(), data.size(), options, lzma);
  const double lzmaTime = Best([&] {
    std::vector<uint8_t> out;
    return DecodeLzmaAlone(lzma.data(), lzma.size(), out) == LzmaDecodeStatus::Ok;
  });
  DeleteFileForced(plain);
  DeleteFileForced(archivePath);

  const double mb = double(megabytes << 20) / 1e6;
  std::printf("stored member of %zu MiB, written out by the installer  %7.3f s  %7.0f MB/s\n", megabytes, decode,
              mb / decode);
  std::printf("CopyFileW of the same bytes                          %7.3f s  %7.0f MB/s\n", copied, mb / copied);
  std::printf("LZMA decoding of incompressible data (16 MiB sample)           %7.0f MB/s\n",
              double(data.size()) / 1e6 / lzmaTime);
  return decode < 0 || copied < 0 ? 1 : 0;
}
