#pragma once
// The uninstall record that an uninstaller's command line names: the value
// of "<uninstall>" or "--uninstall=".

#include "util/wide_string.h"

// Where the record's value stands in a command line: its first and last
// character (1-based, inclusive, quotes included), and the value itself
// without quotes. first is 0 when the command line names no record.
struct RecordArgumentSpan {
  int first = 0;
  int last = 0;
  int openingQuote = 0;  // where the quote of a whole quoted argument stands; 0 for none
  WideString value;
};

// The value follows the first "<uninstall>"; when that gives nothing, the
// first "--uninstall=". A value that starts with a double quote runs to the
// next double quote (to the end of the line when there is none) and is
// taken without its quotes; any other value runs up to the next blank. So
// options after the record ("--silent" appended by an administrator's
// tool, a trailing blank) are not part of its path. The whole argument may
// be quoted instead ("--uninstall=C:\Program Files\r.dat", as an argument
// list quotes one that holds a blank): the value then runs to the closing
// quote.
RecordArgumentSpan LocateRecordArgument(const WideString& commandLine);

// The record path of a command line (LocateRecordArgument's value); empty
// when it names none.
WideString RecordArgument(const WideString& commandLine);

// The command line with the record's value replaced by path in double
// quotes; unchanged when it names no record.
WideString ReplaceRecordArgument(const WideString& commandLine, const WideString& path);
