#pragma once
// The uninstaller copy that an install leaves behind: the installer's
// program without its payload. The packer lays the installer out so that
// this program is the first bytes of the installer's file with a few fields
// changed, and stores how (the recipe, pe/uninstaller_recipe.h) behind the
// payload; the installer applies it to its own file, read through the
// handle it has held since it started (util/win/own_image.h), and the
// result must match the recipe's SHA-256. So the installer carries no
// second copy of itself, the copy is the size of the program, it is signed
// when the publisher had the packer sign it, and it is never whatever file
// sits at the installer's path by then. There is no fallback: an installer
// whose uninstaller cannot be made this way does not install.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// The uninstaller that recipe makes from the bytes of file (read at
// offsets). False (image empty) when the recipe is malformed or of the old
// kind, the file cannot be read or the result does not match the recipe.
bool MakeUninstallerImage(HANDLE file, const uint8_t* recipe, size_t recipeSize, std::vector<uint8_t>& image);
// The same with the recipe that is a resource of module; false when it
// has none.
bool UninstallerImageOf(HMODULE module, HANDLE file, std::vector<uint8_t>& image);

// Makes this process's uninstaller from its own held file and recipe and
// keeps it for WriteUninstallerCopy. Called before the install changes
// anything; false when it cannot be made (the install must then fail).
bool PrepareOwnUninstaller();

// Writes the prepared uninstaller to copyPath through a new temporary
// "Ins" file. True when copyPath holds the copy; otherwise (nothing
// prepared, a write failed) copyPath is left as it was.
bool WriteUninstallerCopy(const WideString& copyPath);

// Tests only: the program that runs the install in-process has no recipe;
// image stands in for the uninstaller it would have prepared.
void SetPreparedUninstallerForTests(const std::vector<uint8_t>& image);
