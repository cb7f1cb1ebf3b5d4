#pragma once
// Opening an installer (or a bare archive) for list, verify and extract.

#include <string>

#include "packer/archive_inspect.h"
#include "packer/file_io.h"

// Opens path and finds its archive; on failure prints the message and
// returns the exit status (kExitOk on success).
int OpenArchiveFile(const std::string& path, FileSource* file, ArchiveLocation* location);
