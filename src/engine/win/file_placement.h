#pragma once
// Placing one payload file where a "[CopyFile]" directive says: the
// platform-variant rule, decoding into a temporary file beside the
// destination (payload/win/destination_files.h), the file-version rule, the
// rename over the destination (a copy with its Retry/Cancel loop when the
// rename fails), replacement at the next restart for files in use, the
// queue of DLL/OCX files to register and the "App Paths" entry of placed
// programs. Runs on the install worker's thread.

#include <cstdint>
#include <vector>

#include "engine/version_rule.h"
#include "payload/win/decode_ahead.h"
#include "util/string_list.h"
#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Removes the platform marker ("__PLI_WIN64" or "__PLI_UNICODE") from
// destination, in place, and says whether this entry is installed on this
// system (State().Is64BitWindows) given the verbatim destination lines of
// every "[CopyFile]" of the script.
bool AcceptVariant(WideString& destination, const StringList& copyTargets);

// Placement keeps what it knows of the deletions pending for the next
// restart from one file to the next (DeletionWatch). Whatever may have
// changed them meanwhile - the start of an install, a program or registry
// line of the script - says so here.
void PendingDeletionsMayHaveChanged();

// Places the payload member at destination (both with folder macros). A
// deletion of destination pending for the next restart that is not part of
// a replacement is taken back first.
// Returns true when the install must stop: the member could not be
// extracted, or the user chose Cancel after a copy failure. Messages are
// owned by window, caption State().InstallerTitle. Sets
// State().RebootRequired when the new file waits for the next restart.
[[nodiscard]] bool PlaceFile(const WideString& member, const WideString& destination, HWND window);
// The same for a member that was decoded ahead (DecodeAhead): its decoding
// failures are shown now, in order, as extraction would have shown them.
// Its temporary file is left to the caller (DecodeAhead::HandBack), with
// prepared.fileMoved set when placing renamed it; a member held in memory is
// written straight to its destination.
[[nodiscard]] bool PlacePreparedFile(PreparedMember& prepared, const WideString& destination, HWND window);

// A member ready to be placed: its temporary file, or its bytes in memory.
struct ExtractedSource {
  WideString file;
  // The handle that created file, when the caller holds it: the file is
  // then renamed, copied from and marked through it, never opened by name.
  HANDLE handle = INVALID_HANDLE_VALUE;
  const std::vector<uint8_t>* bytes = nullptr;  // when not null, the member itself
  // file is a temporary file of the caller's in the destination's folder:
  // it may be renamed into place instead of copied.
  bool movable = false;
  bool moved = false;  // it was: file is gone

  // Writes it to path, replacing a file there, as a copy does: on
  // failure GetLastError tells why, and no partial file is left.
  bool CopyTo(const WideString& path) const;
};

// Puts the new file at path, replacing a file there (whose attributes the
// caller has cleared): a movable source is renamed there, and only when
// that fails copied, as any other source is. On failure GetLastError tells
// why the copy failed. The one place where a placed file comes to be.
bool PutInPlace(ExtractedSource& source, const WideString& path);

// Puts newFile at destination + "-PLITMP" (PutInPlace) and asks Windows to
// delete destination and rename the staged file at the next restart
// (deletion registered first). Sets State().RebootRequired when all three
// steps work. When the rename cannot be registered, the deletion is taken
// back (the staged file may stay).
bool ScheduleReplaceAtRestart(ExtractedSource& newFile, const WideString& destination);

// The fixed file version of path; (0, 0) when missing or without one.
FileVersion ReadFileVersion(const WideString& path);
// The same for the executable image behind an open handle (read access),
// from its version resource, without opening anything by name.
FileVersion ReadFileVersionThroughHandle(HANDLE file);

// Appends path to DllRegistrationList() when its extension is ".dll" or
// ".ocx" (ASCII case folded).
void QueueForRegistration(const WideString& path);

// For a program (".exe"), writes HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\<file name>":
// default value = full path, "Path" = its folder with a trailing backslash.
// Silent on failure.
void RegisterAppPath(const WideString& destination);
// The App Paths key of a program path (macros expanded); empty for a path
// that is not an ".exe".
WideString AppPathKey(const WideString& path);

// The process-wide list of placed .dll and .ocx files (expanded paths) in
// placement order, consumed by RegisterDlls. Worker thread only.
StringList& DllRegistrationList();
