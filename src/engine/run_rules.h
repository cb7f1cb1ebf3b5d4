#pragma once
// The text decisions of a program run: the "<TempInstall>" member name, the
// administrator manifest test and the " -RUNELEVATED" marker.

#include <cstddef>
#include <cstdint>

#include "util/wide_string.h"

// True when program names a payload member to run from a temporary file.
bool IsTempInstallProgram(const WideString& program);
// The member name: the text from the 14th character on (after
// "<TempInstall>" when the line starts with it), without one leading "\".
WideString TempInstallMember(const WideString& program);

// True when the bytes hold "level=requireAdministrator" or
// "level=\"requireAdministrator\"" (ASCII letters compared without case).
bool AsksForAdministrator(const uint8_t* bytes, size_t count);

// Removes every " -RUNELEVATED" (case-sensitive); true when there was one.
bool RemoveRunElevatedMarker(WideString& parameters);

// A document or link to open with the shell rather than a command line:
// the extension is not ".exe" and there are no parameters.
bool OpensAsDocument(const WideString& program, const WideString& parameters);

// The command line of a program run: the program in double quotes (unless
// the program line starts with one), then a blank and the parameters when
// there are any.
WideString RunCommandLine(const WideString& program, const WideString& parameters);

// Folder-macro expansion of a whole text, in place (ExpandFolderMacros in
// the installer).
using TextExpander = void (*)(WideString& text);

// Expands the folder macros of a parameter line word by word: blanks, tabs,
// double quotes and "=" separate words (a blank inside a macro's angle
// brackets does not), each word is expanded on its own and the separators
// stay as they are. So a word that is a UNC path, or that a macro turns
// into one, keeps its leading pair of backslashes, which expanding the
// whole line would collapse.
WideString ExpandParameterMacros(const WideString& parameters, TextExpander expand);

// The file name for the n-th copy of a file: the name itself for 1, else
// "stem (n)" followed by the extension from the name's last "." ("setup
// (2).exe"; "readme (3)" without one).
WideString NumberedFileName(const WideString& name, int n);
