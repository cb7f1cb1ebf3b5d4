#pragma once
// Lines that an uninstall record adds after the two value lines of a
// "[CopyFile]" entry, each saying one thing about that entry's file. They
// are section lines of no directive, so every reader that does not know
// them skips them (older uninstallers then treat the file as before); a
// mark anywhere else, or in the install script itself, means nothing.

// The install kept the file that was there (the version rule found it as
// new as the payload's, or newer): it is not this product's to remove, yet
// the record lists it, so other products' uninstallers leave it in place.
constexpr const char16_t* kKeptFileMark = u"[KeptExistingFile]";

// The install counted the file in Windows' shared-file counts (SharedDLLs):
// the uninstall counts it down again, and removes it only at zero.
constexpr const char16_t* kCountedFileMark = u"[CountedSharedFile]";
