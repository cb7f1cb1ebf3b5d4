#pragma once
// The uninstaller copy that an install leaves behind: the installer's
// program without its payload. The packer lays the installer out so that
// this program is the first bytes of the installer's file with a few fields
// changed, and stores how (the recipe, pe/uninstaller_recipe.h) behind the
// payload; the installer applies it to its own file. So the installer
// carries no second copy of itself, the copy is the size of the program,
// and it is signed when the publisher had the packer sign it.
//
// An installer without a recipe (one packed by an earlier packer, or a
// program that is no installer at all) is copied whole, payload included,
// as uninstaller copies always were; either works as the uninstaller.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// The uninstaller that recipe makes from program's file. False (image
// empty) when the recipe is malformed, the file cannot be read or the
// result does not match the recipe's hash.
bool MakeUninstallerImage(const WideString& program, const uint8_t* recipe, size_t recipeSize,
                          std::vector<uint8_t>& image);

// Writes the uninstaller copy of program, whose recipe (if any) is a
// resource of module, to copyPath through a temporary "Ins" file; a byte
// copy of program when there is no usable recipe. True when copyPath holds
// the copy; otherwise copyPath is left as it was.
bool WriteUninstallerCopy(HMODULE module, const WideString& program, const WideString& copyPath);
