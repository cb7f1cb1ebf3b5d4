#include "payload/win/image_file_sum.h"

#include <new>
#include <vector>

#include "payload/archive_format.h"
#include "util/path_text.h"
#include "util/win/own_image.h"
#include "util/win/process_paths.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

// A multiple of 4, so that the sums of the pieces add up.
constexpr DWORD kPiece = 1u << 20;

// Where the image bytes at offset rva come from in the file; false when
// they are not all in one section's raw data.
bool FileOffsetOf(const uint8_t* imageBase, uint64_t rva, uint64_t size, uint64_t* offset) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(imageBase);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0) return false;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(imageBase + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    const uint64_t start = section->VirtualAddress;
    if (rva < start || rva - start + size > section->SizeOfRawData) continue;
    *offset = section->PointerToRawData + (rva - start);
    return true;
  }
  return false;
}

}  // namespace

bool ArchiveChecksumFromFile(const WideString& file, const uint8_t* imageBase, const uint8_t* data, size_t size,
                             uint32_t* checksum) {
  if (imageBase == nullptr || data < imageBase || size < kArchiveTrailerSize) return false;
  const uint64_t length = size - kArchiveTrailerSize;
  uint64_t offset = 0;
  if (!FileOffsetOf(imageBase, static_cast<uint64_t>(data - imageBase), length, &offset)) return false;

  // The program's own file is the one held since the start, never one
  // opened again by a name that may by now be another file's (not held:
  // the caller sums the mapped image).
  const bool own = SamePath(file, ModulePath());
  if (own && OwnImageFile() == INVALID_HANDLE_VALUE) return false;
  ScopedFileHandle source;
  if (!own) {
    source = OpenByPath(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN);
    if (!source) return false;
  }
  std::vector<uint8_t> piece;
  try {
    piece.resize(kPiece);
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint32_t sum = 0;
  for (uint64_t left = length, at = offset; left > 0;) {
    const DWORD want = static_cast<DWORD>(left < kPiece ? left : kPiece);
    if (own) {
      if (!ReadOwnImage(at, piece.data(), want)) return false;
    } else {
      OVERLAPPED position{};
      position.Offset = static_cast<DWORD>(at);
      position.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD got = 0;
      if (!ReadFile(source.Get(), piece.data(), want, &got, &position) || got != want) return false;
    }
    sum += ArchiveWordSum(piece.data(), want);
    left -= want;
    at += want;
  }
  *checksum = sum == 0 ? 1 : sum;
  return true;
}
