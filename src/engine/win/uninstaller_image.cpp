#include "engine/win/uninstaller_image.h"

#include "engine/win/uninstall_record.h"
#include "pe/uninstaller_recipe.h"
#include "util/win/disk_file.h"
#include "util/win/temp_names.h"
#include "util/win/safe_files.h"

bool MakeUninstallerImage(const WideString& program, const uint8_t* recipe, size_t recipeSize,
                          std::vector<uint8_t>& image) {
  image.clear();
  RecipeHeader header;
  if (program.IsEmpty() || !ReadRecipeHeader(recipe, recipeSize, &header)) return false;
  DiskFile file;
  if (!file.Open(program, GENERIC_READ, OPEN_EXISTING, false)) return false;
  image.assign(header.length, 0);
  if (file.Read(image.data(), header.prefixLength) != header.prefixLength ||
      !ApplyRecipe(recipe, recipeSize, image.data(), image.size())) {
    image.clear();
    return false;
  }
  return true;
}

bool WriteUninstallerCopy(HMODULE module, const WideString& program, const WideString& copyPath) {
  const uint8_t* recipe = nullptr;
  size_t recipeSize = 0;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kUninstallerRecipeResourceId), MAKEINTRESOURCEW(10))) {
    if (HGLOBAL loaded = LoadResource(module, found)) {
      recipe = static_cast<const uint8_t*>(LockResource(loaded));
      recipeSize = SizeofResource(module, found);
    }
  }
  std::vector<uint8_t> image;
  if (recipe == nullptr || !MakeUninstallerImage(program, recipe, recipeSize, image)) {
    return CopyUninstaller(program, copyPath);
  }
  // Only a complete copy goes over an uninstaller that works.
  WideString temporary;
  bool written = false;
  if (MakeTempFileName(temporary, "Ins")) {
    DiskFile out;
    written = out.Open(temporary, GENERIC_WRITE, CREATE_ALWAYS, false) &&
              out.Write(image.data(), static_cast<DWORD>(image.size()));
    out.Close();
    written = written && CopyItem(temporary, copyPath, false);
  }
  DeleteTempFile(temporary);
  return written;
}
