#pragma once
// The one door to the file system for the installer and the uninstaller,
// which run elevated: every create, open, rename and delete goes through
// here. Its verbs say what they promise:
// - "New" creates and fails on an existing name (never reuses what someone
//   else put there);
// - "NoFollow" opens the item itself, never what a link points to, and a
//   tree walk never enters a reparse point (junction, symbolic link);
// - "ThroughHandle" renames or deletes the very file that was opened, not
//   whatever carries its name by then;
// - the protections are the access rules of what the run creates.
// The decisions themselves (is this a link, does this lie under that root,
// who may write a folder) are util/file_trust.h. Paths of 248 characters
// or more get the "\\?\" prefix here; failures leave GetLastError() set.

#include <cstdint>

#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

// The access rules given to what the run creates.
enum class Protection {
  Inherited,           // whatever the parent folder hands down
  AdministratorsOnly,  // SYSTEM and Administrators only, nothing inherited
  ProgramFiles,        // as Program Files: the administrative accounts full control, Users read and execute
};

// A file's identity on its volume: unchanged by renames, different for any
// other file put under the same name.
struct ItemIdentity {
  uint32_t volumeSerial = 0;
  uint64_t fileId = 0;
  bool operator==(const ItemIdentity& other) const {
    return volumeSerial == other.volumeSerial && fileId == other.fileId;
  }
  bool operator!=(const ItemIdentity& other) const { return !(*this == other); }
};

// The process runs with the Administrators group in effect (elevated, or
// as SYSTEM): what it creates for itself is then protected from other users.
bool ProcessIsAdministrator();

// A run for the current user alone (set once at start): what it makes for
// itself stays under its profile's rules, which are that user's already.
void SetPerUserRun(bool perUser);
// The rules of what the run makes for itself alone (its temporary files
// and folders, its journal): the administrative accounts' alone in an
// administrator's run for every user, inherited otherwise.
Protection RunOwnProtection();

// --- Opening -------------------------------------------------------------

// CreateFileW as it is, for files the caller names itself and owns (logs,
// relay files, the journal, the test transcript); long paths prefixed.
ScopedFileHandle OpenByPath(const WideString& path, DWORD access, DWORD share, DWORD disposition,
                            DWORD flagsAndAttributes = FILE_ATTRIBUTE_NORMAL);
// Opens the item itself (FILE_FLAG_OPEN_REPARSE_POINT, folders too). With
// refuseLinks set, an item that is a link by its listing or its handle is
// refused: invalid handle, ERROR_CANT_ACCESS_FILE.
ScopedFileHandle OpenNoFollow(const WideString& path, DWORD access, DWORD share, bool refuseLinks);
// A new file: CREATE_NEW, so an existing name (a file, a folder, a link) is
// a failure with ERROR_FILE_EXISTS, never opened.
ScopedFileHandle CreateNewFile(const WideString& path, DWORD access, DWORD share, DWORD attributes,
                               Protection protection = Protection::Inherited);

// --- Facts -----------------------------------------------------------------

bool HandleAttributes(HANDLE handle, DWORD* attributes);
bool HandleIdentity(HANDLE handle, ItemIdentity* identity);
// The identity of what path names (the item itself, not a link's target).
bool PathIdentity(const WideString& path, ItemIdentity* identity);
// path is a reparse point by the folder listing or by its opened handle.
bool PathIsLink(const WideString& path);
// The first level of path, from its root down, that is a link; empty when
// none is (or path does not exist).
WideString FirstLinkOnPath(const WideString& path);
// Non-administrators may write into the folder by its access rules (false
// when the rules cannot be read).
bool NonAdministratorsCanWriteFolder(const WideString& folder);

// --- Changing through a handle -------------------------------------------

// Renames the opened file (SetFileInformationByHandle, FileRenameInfo).
bool RenameThroughHandle(HANDLE handle, const WideString& to, bool replaceExisting);
// Deletes the opened file or empty folder once its last handle closes.
bool DeleteThroughHandle(HANDLE handle);
bool SetAttributesThroughHandle(HANDLE handle, DWORD attributes);
// Gives the opened item the protection's rules (needs WRITE_DAC).
bool ProtectThroughHandle(HANDLE handle, Protection protection);

// --- Folders -------------------------------------------------------------

// A new folder: an existing name fails with ERROR_ALREADY_EXISTS.
bool CreateNewFolder(const WideString& path, Protection protection = Protection::Inherited);
// Removes an empty folder, or the link itself when path is one.
bool RemoveEmptyFolder(const WideString& path);
// Deletes a file; a read-only one too. When path is a link, the link goes,
// never its target.
bool DeleteFileNoFollow(const WideString& path);
// Removes what folder\pattern matches (sub-folders only when recurse), then
// the folder itself when everything went. A link met on the way is removed
// as a link and never entered. Paths shorter than 3 characters are refused.
bool RemoveFolderTree(const WideString& folder, const WideString& pattern, bool recurse);

// --- By path, for what the caller made and names itself ------------------

// MoveFileExW (to empty: delete, with MOVEFILE_DELAY_UNTIL_REBOOT).
bool MoveItem(const WideString& from, const WideString& to, DWORD flags);
bool CopyItem(const WideString& from, const WideString& to, bool failIfExists);
bool LinkItem(const WideString& link, const WideString& existing);  // a hard link
bool SetItemAttributes(const WideString& path, DWORD attributes);
