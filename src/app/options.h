#pragma once
// The command line as the entry point reads it. Two ways of looking:
// - the plain options ("--silent", "--uninstall=", "--installto", ...) are
//   found by a case-sensitive substring search of the whole command line,
//   wherever they stand, even inside a quoted path;
// - the parsed option list, where names compare ignoring ASCII case; only
//   "IsElevated" is looked up there.

#include "util/string_list.h"
#include "util/wide_string.h"

// Option names and their values, index for index.
struct OptionList {
  StringList names;
  StringList values;
};

// Splits a command line into options. The program part is skipped when it
// is quoted (an unquoted program path is scanned like the rest). Each option
// starts at a "-" (or "--"); its name ends before the first double quote,
// "=" or space; spaces and "=" after it are skipped, and unless the next
// character is "-" or the end, a value follows: the text within double
// quotes, or up to the next space.
OptionList ParseOptions(const WideString& commandLine);

// Index of the first option whose name equals name ignoring ASCII case; -1
// when there is none.
int FindOption(const OptionList& list, const WideString& name);

// The plain options.
bool HasSilentOption(const WideString& commandLine);        // "<Silent>" or "--silent"
bool HasNoAutoRebootOption(const WideString& commandLine);  // "--noautoreboot"
bool HasUninstallOption(const WideString& commandLine);     // "<uninstall>" or "--uninstall="
bool HasForce32BitOption(const WideString& commandLine);    // "--force32bit"
