#pragma once
// The install log passed from the first process to its elevated copy. The
// first process opens the log with the rights of the user who started it;
// the copy, which has administrator rights, writes through a duplicate of
// that handle and never opens the path itself, so a log path cannot make
// the copy create or append to a file the user could not write.

#include "app/options.h"
#include "util/wide_string.h"

// " --loghandle=N": the open log's handle value in this process, for the
// copy's command line; empty when no log is open.
WideString LogHandleParameter();

// In the elevated copy: duplicates the handle that "loghandle" names from
// the process that started this one and writes the log through it (path
// names the writers' mutex). False, and no log, when there is no such
// option or the handle cannot be taken over.
bool AdoptParentLog(const OptionList& options, const WideString& path, const WideString& role,
                    const WideString& commandLine);
