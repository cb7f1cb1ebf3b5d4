#pragma once
// The text half of folder-macro expansion: substituting macro values and
// collapsing doubled backslashes. Where the values come from is Windows
// business (engine/win/folder_macros.h).

#include "util/wide_string.h"

// The macros in the order they are substituted.
enum class FolderMacro {
  System,
  SystemWow64,
  Windows,
  Destination,
  ProgramFiles,
  CommonFiles,
  Startup,
  StartPrograms,
  DeskTop,
  QuickLaunch,
  MyDocuments,
  Source,
};
constexpr int kFolderMacroCount = 12;

// "<System>", "<SystemWOW64>", ... as written in scripts.
const WChar* FolderMacroName(FolderMacro macro);

// Replaces every occurrence of the macro's name (ASCII case folded) by value
// with a backslash appended when it does not end in one (an empty value
// becomes a single backslash). The search resumes behind each inserted value.
void SubstituteFolderMacro(WideString& text, FolderMacro macro, WideString value);

// Turns every "\\" into "\" left to right, resuming behind each inserted
// backslash (so three become two); a text that started with two backslashes
// keeps that UNC pair.
void CollapseBackslashes(WideString& text);
