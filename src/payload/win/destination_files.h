#pragma once
// Members decoded beside their destinations: the folders made for them and
// the temporary files they are decoded into, which placing then renames over
// the destination (engine/win/file_placement.h). A file made in the
// destination's folder takes the folder's inherited permissions, as a copied
// one would, and a rename writes nothing.
//
// The one place where a destination folder is created (CreateDestinationFolder)
// and the one where a temporary file is made (MakeDestinationTemp).
//
// Temporary files are named "~PLI" + 8 hexadecimal digits + ".tmp" (or the
// prefix SetDestinationTempPrefix gave, for the run's journal to find them
// after a crash), made with CREATE_NEW (so never over another file) and
// hidden. The file is written, read, renamed into place and deleted through
// the handle that created it, never reopened by name; while that handle is
// open nobody else may write, rename or delete it. When none can be
// made in the destination's folder, the member goes to the Windows
// temporary folder instead and is copied into place, as before.

#include <cstdint>
#include <vector>

#include "payload/win/payload_archive.h"
#include "util/string_list.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

// Folders created on the way to destinations, every level noted, so that
// those left empty after a cancel or a failure can be removed. Safe from
// several threads.
class MadeFolders {
 public:
  void Note(const WideString& folder);
  // Removes the noted folders that are empty, deepest first, and forgets
  // them all.
  void RemoveEmpty();

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  StringList folders_;
};

// Creates folder with every missing level; each level this call created is
// noted in made (may be null). True when the folder is there afterwards.
bool CreateDestinationFolder(const WideString& folder, MadeFolders* made);

// A new empty hidden temporary file in folder, or in the Windows temporary
// folder when none can be made there (or folder is empty); its path in path
// and the handle that created it (read, write, attributes and delete
// access; others may only read) in handle. False, with path empty, when
// neither works.
bool MakeDestinationTemp(const WideString& folder, WideString& path, ScopedFileHandle& handle);

// The start of every temporary file's name from now on ("~PLI" when empty).
// Call it before decoding starts.
void SetDestinationTempPrefix(const WideString& prefix);

// A member as the install worker takes it: decoded into a temporary file or
// held in memory, with what decoding it gave.
struct PreparedMember {
  WideString file;        // the temporary file holding the member
  ScopedFileHandle handle;  // the handle that created it, open until the member is placed or dropped
  bool fileMade = false;  // false when no temporary file could be made
  bool fileMoved = false;  // placing renamed the file: it is gone from file
  bool inMemory = false;  // held in bytes instead of a file
  std::vector<uint8_t> bytes;
  WideString sourcePath;  // the file the member was read from, for the read message
  DecodeReport report;    // what decoding it gave, messages still to show
  // The member's first bytes (fewer for a shorter member), so that the taker
  // can tell what kind of file it is without opening it again.
  uint8_t head[4] = {};
  int headSize = 0;
  size_t planIndex = SIZE_MAX;  // which planned member it is (DecodeAhead::HandBack)

  // Decoded cleanly, and somewhere to place it from.
  bool Ready() const { return (inMemory || fileMade) && report.extracted; }
  // Only executable images (and the LZ-compressed files that the version
  // functions read through) carry a version: the first bytes tell.
  bool MayCarryVersion() const;
};

// Deletes the member's temporary file through its handle (by its name only
// when that fails) and closes the handle; a file placing moved is left where
// it is.
void DeletePreparedFile(PreparedMember& member);

// Decodes the member into a new temporary file in folder (made first with
// its missing levels, noted in made, which may be null). Without a file to
// write, the report holds a write failure; a member that does not decode
// cleanly, or whose decoding was cancelled, leaves no file behind.
void DecodeIntoFolder(const MemberEntries& member, const WideString& folder, const DecodeCancel* cancel,
                      MadeFolders* made, PreparedMember& out);

// A member held in memory that must be a file after all: its bytes written
// to a new temporary file in folder, or, when that fails, a write failure in
// its report and no file.
void MoveIntoFolder(PreparedMember& member, const WideString& folder, MadeFolders* made);
