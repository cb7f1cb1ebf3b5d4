#include "engine/win/uninstaller_image.h"

#include "pe/uninstaller_recipe.h"
#include "util/win/disk_file.h"
#include "util/win/own_image.h"
#include "util/win/safe_files.h"
#include "util/win/temp_names.h"

namespace {

std::vector<uint8_t>& Prepared() {
  static std::vector<uint8_t> image;
  return image;
}

bool ReadAt(HANDLE file, uint64_t offset, uint8_t* buffer, DWORD size) {
  if (file == OwnImageFile()) return ReadOwnImage(offset, buffer, size);
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(file, buffer, size, &got, &at) || got == 0) return false;
    buffer += got;
    offset += got;
    size -= got;
  }
  return true;
}

}  // namespace

bool MakeUninstallerImage(HANDLE file, const uint8_t* recipe, size_t recipeSize, std::vector<uint8_t>& image) {
  image.clear();
  RecipeHeader header;
  if (file == INVALID_HANDLE_VALUE || !ReadRecipeHeader(recipe, recipeSize, &header)) return false;
  image.assign(header.length, 0);
  if ((header.prefixLength > 0 && !ReadAt(file, 0, image.data(), header.prefixLength)) ||
      !ApplyRecipe(recipe, recipeSize, image.data(), image.size())) {
    image.clear();
    return false;
  }
  return true;
}

bool UninstallerImageOf(HMODULE module, HANDLE file, std::vector<uint8_t>& image) {
  image.clear();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kUninstallerRecipeResourceId), MAKEINTRESOURCEW(10));
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const auto* recipe = loaded != nullptr ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (recipe == nullptr) return false;
  return MakeUninstallerImage(file, recipe, SizeofResource(module, found), image);
}

bool PrepareOwnUninstaller() {
  if (!Prepared().empty()) return true;
  return HoldOwnImage() && UninstallerImageOf(GetModuleHandleW(nullptr), OwnImageFile(), Prepared());
}

bool WriteUninstallerCopy(const WideString& copyPath) {
  const std::vector<uint8_t>& image = Prepared();
  if (image.empty()) return false;
  // Only a complete copy goes over an uninstaller that works; the copy is
  // itself possibly the program running this install, so it is written
  // beside and copied over.
  WideString temporary;
  bool written = false;
  if (MakeTempFileName(temporary, "Ins")) {
    DiskFile out;
    written = out.Open(temporary, GENERIC_WRITE, OPEN_EXISTING, false) &&
              out.Write(image.data(), static_cast<DWORD>(image.size()));
    out.Close();
    written = written && CopyItem(temporary, copyPath, false);
  }
  DeleteTempFile(temporary);
  return written;
}

void SetPreparedUninstallerForTests(const std::vector<uint8_t>& image) { Prepared() = image; }
