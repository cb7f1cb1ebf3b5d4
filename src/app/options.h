#pragma once
// The command line as the entry point reads it. Two ways of looking:
// - the plain options ("--silent", "--uninstall=", "--installto", ...) are
//   found by a case-sensitive substring search of the whole command line,
//   wherever they stand, even inside a quoted path;
// - the parsed option list, where names compare ignoring ASCII case; only
//   "IsElevated" is looked up there.
// The log option ("--log=") is taken out of the command line first, so that
// neither way finds anything inside its path.

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
bool HasAllUsersOption(const WideString& commandLine);      // "--allusers"
bool HasCurrentUserOption(const WideString& commandLine);   // "--currentuser"

// The "--log=" option and the command line without it.
struct LogOptionSplit {
  WideString commandLine;  // the command line with the option taken out
  WideString logPath;      // its value without quotes; may be empty
  bool found = false;
};

// Takes the log option out of a command line. It is "--log=" (exact case)
// at the start of an argument: after the program part (quoted or up to the
// first space), outside double quotes, and before the first option that
// takes the rest of the line ("<uninstall>", "--uninstall=", "<installto>"
// or "--installto", wherever a substring search finds it), since what
// follows one of those is its value. The log option's value is the text
// within double quotes (to the end of the line when the closing quote is
// missing) or up to the next space; the whole argument may be quoted
// instead ("--log=C:\a b.log"), as an argument list quotes one that holds
// a blank. The option is removed with one space
// beside it; everything else stays as it was. Not found: the command line
// unchanged.
LogOptionSplit SplitLogOption(const WideString& commandLine);

// The command line with the log option's value replaced by path, in double
// quotes; unchanged when it has no log option.
WideString ReplaceLogPath(const WideString& commandLine, const WideString& path);

// " --log=\"path\"" to pass the log on to another installer; empty for an
// empty path.
WideString LogParameter(const WideString& path);
