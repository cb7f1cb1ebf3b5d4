#pragma once
// The marks (engine/record_marks.h) that the uninstall record being written
// gives each "[CopyFile]" entry. They come from what this install did with
// the entry's file (engine/win/installed_files.h) and from the product's
// previous record, which this one replaces:
// - kept: this install kept the file in place, and the previous record does
//   not list it as the product's own (a file that an earlier install of the
//   product placed stays the product's when a reinstall keeps it); an entry
//   this install has not reached keeps the previous record's mark;
// - counted: the file is a shared system file (IsSharedSystemFile) that this
//   install placed or kept, counted up once per product - not again when
//   the previous record has it counted already, nor twice in one process.

#include "util/wide_string.h"

// A "[CopyFile]" destination as the record's readers compare it: folder
// macros expanded (with State().InstallTo for "<Destination>") and the
// platform markers "__PLI_WIN64" and "__PLI_UNICODE" removed.
WideString RecordedFilePath(const WideString& destination);

// Reads the product's previous record (the one its entry's "UninstallString"
// names, with that entry's "InstallTo") once per process; call before this
// install's record or entry is written. Nothing when there is none.
void ReadPreviousRecordMarks();

struct FileMarks {
  bool kept = false;
  bool counted = false;
};

// The marks of an entry with this destination (as the script has it). The
// first time a shared system file is to be marked counted and the previous
// record had not counted it, its count goes up here.
FileMarks MarksForDestination(const WideString& destination);

// Forgets the previous record and the counts made (tests run several
// installs in one process).
void ForgetRecordMarks();
