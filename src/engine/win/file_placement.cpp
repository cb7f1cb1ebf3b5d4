#include "engine/win/file_placement.h"

#include "app/install_state.h"
#include "engine/variant_rules.h"
#include "engine/win/folder_macros.h"
#include "engine/win/installed_files.h"
#include "engine/win/native_system_folder.h"
#include "engine/win/pending_renames.h"
#include "engine/win/product_folder.h"
#include "engine/win/program_runs.h"
#include "engine/win/run_scope.h"
#include "payload/win/destination_files.h"
#include "payload/win/payload_context.h"
#include "rollback/win/run_journal.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

const WChar kExtractFailed[] =
    u"Unable to extract a file from install, possibly your security software is blocking the install.";
const WChar kInUseNotReplaced[] =
    u"Unable to replace file(s) in use, uninstall existing version, restart Windows and reinstall.";
const WChar kCannotInstall[] = u"Cannot install '%s', disk may be full.";
const WChar kLinkOnTheWay[] =
    u"Cannot install '%s': '%s' is a link to another place. The installer does not follow links in the "
    u"product's folder.";

// Files are placed by one worker at a time.
DeletionWatch& PlacementDeletions() {
  static DeletionWatch watch;
  return watch;
}

bool FileInUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE;
}

// Puts the extracted file over the destination until it works, the file
// turns out to be in use, or the user gives up. True when cancelled.
// attributes: the destination's when its version was read
// (INVALID_FILE_ATTRIBUTES: nothing was there).
bool CopyIntoPlace(ExtractedSource& source, const WideString& destination, const FileVersion& existing,
                   const FileVersion& incoming, DWORD attributes, HWND window) {
  const bool replacing = attributes != INVALID_FILE_ATTRIBUTES;
  // The same path form for the copy, the version check and the staging.
  const WideString target = LongPathForm(destination, MAX_PATH);
  // The old file goes aside first (a rename), so that a rollback can put it
  // back; one in use stays where it is and is replaced at the next restart.
  // Nothing is written that a rollback could not take back.
  // The attributes just read serve the first try; a retry looks again.
  for (KeepAside kept = JournalBeforeFile(destination, attributes); kept == KeepAside::NotKept;
       kept = JournalBeforeFile(destination)) {
    const int answer = ShowMessage(window, WideString::Format(kCannotInstall, destination), State().InstallerTitle,
                                   MB_RETRYCANCEL | MB_ICONERROR | MB_DEFBUTTON2);
    if (answer != IDRETRY) return true;
  }
  // The temporary file was made hidden; what takes its place must not be.
  if (source.movable) {
    if (source.handle != INVALID_HANDLE_VALUE) {
      SetAttributesThroughHandle(source.handle, FILE_ATTRIBUTE_ARCHIVE);
    } else {
      SetItemAttributes(source.file, FILE_ATTRIBUTE_ARCHIVE);
    }
  }
  for (;;) {
    // Read-only, hidden and system files are overwritten as well (a file
    // that is not there has no attributes to clear).
    if (replacing) SetItemAttributes(target, FILE_ATTRIBUTE_NORMAL);
    if (PutInPlace(source, target)) {
      LogEvent(replacing ? log_kind::kFileReplaced : log_kind::kFileNew, destination);
      NoteFilePlaced(destination);
      return false;
    }
    const DWORD error = GetLastError();
    LogWindowsError(FileInUse(error) ? log_kind::kFileInUse : log_kind::kFailure, u"copy to " + destination, error);
    if (FileInUse(error)) {
      if (InUseFileIsCurrent(existing, incoming)) {
        LogEvent(log_kind::kFileKept, destination + u" (in use, current)");
        NoteFileKept(destination);
      } else if (ScheduleReplaceAtRestart(source, target)) {
        NoteFilePlaced(destination);
      } else {
        ShowMessage(window, WideString(kInUseNotReplaced), State().InstallerTitle, MB_OK);
      }
      return false;
    }
    const int answer = ShowMessage(window, WideString::Format(kCannotInstall, destination), State().InstallerTitle,
                                   MB_RETRYCANCEL | MB_ICONERROR | MB_DEFBUTTON2);
    if (answer != IDRETRY) return true;
  }
}

}  // namespace

void PendingDeletionsMayHaveChanged() { PlacementDeletions().Forget(); }

bool AcceptVariant(WideString& destination, const StringList& copyTargets) {
  return AcceptVariantFor(destination, copyTargets, State().Is64BitWindows);
}

namespace {

WideString ExpandedDestination(const WideString& destination) {
  WideString target = destination;
  ExpandFolderMacros(target);
  GuardProductFolder();
  return target;
}

// The destination's folder with every missing level; failures show up as
// failed placements later. Nothing is made through a link (the placement
// refuses the file, walking every level again): a folder that is there
// needs no walk of its own first.
void PrepareDestination(const WideString& target) {
  const WideString folder = ParentFolder(target);
  if (IsFolder(folder)) return;
  if (LinkInProductFolder(folder).IsEmpty()) CreateDestinationFolder(folder, nullptr);
}

// Reading a version has the loader map the file: not for a file that is not
// there, which has none. attributes: what is there (INVALID_FILE_ATTRIBUTES:
// nothing).
FileVersion VersionIfPresent(const WideString& path, DWORD& attributes) {
  attributes = GetFileAttributesW(path.W());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileVersion();
  }
  return ReadFileVersion(path);
}

// Places the extracted file (ready false: extraction failed) at target.
// True when cancelled. incoming is the extracted file's version.
bool PlaceExtracted(bool ready, ExtractedSource& extracted, const FileVersion& incoming, const WideString& target,
                    HWND window) {
  bool cancelled = false;
  if (!ready) {
    ShowMessage(window, WideString(kExtractFailed), State().InstallerTitle, MB_OK | MB_ICONERROR);
    cancelled = true;
  } else {
    // A deletion at the next restart left for this path (an old version's
    // uninstaller that found the file in use) would remove what is placed
    // now, whether copied, kept or staged.
    // Taken back on rollback: the file that was there goes at the restart
    // again as it was meant to.
    if (PlacementDeletions().Cancel(target)) JournalDeletionCancelled(target);
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const FileVersion existing = VersionIfPresent(LongPathForm(target, MAX_PATH), attributes);
    if (KeepExistingFile(existing, incoming)) {
      // The one place where the version rule keeps the file in place.
      LogEvent(log_kind::kFileKept, target + u" (installed version is newer)");
      NoteFileKept(target);
    } else {
      cancelled = CopyIntoPlace(extracted, target, existing, incoming, attributes, window);
    }
  }
  // Kept and waiting files are registered as well: the registration then
  // refreshes whatever version is in place.
  if (!cancelled) QueueForRegistration(target);
  return cancelled;
}

// The version of a decoded member. An image's is read from its version
// resource through the handle that wrote it; a file in Windows' LZ-compressed
// format is read by name, as only Windows' version functions expand it
// (nobody can rename, delete or write it while that handle is open).
// (Beside a long destination the temporary file has a long path too.)
FileVersion IncomingVersion(const PreparedMember& prepared) {
  const bool image = prepared.headSize >= 2 && prepared.head[0] == 'M' && prepared.head[1] == 'Z';
  if (image && prepared.handle) return ReadFileVersionThroughHandle(prepared.handle.Get());
  return ReadFileVersion(LongPathForm(prepared.file, MAX_PATH));
}

// Places a member at target (macros expanded, folder made).
bool PlacePrepared(PreparedMember& prepared, const WideString& target, HWND window) {
  // Whether it was decoded into memory or into a temporary file: the
  // messages name where it was going.
  ShowDecodeReport(prepared.report, prepared.sourcePath, target);
  const WideString link = LinkInProductFolder(target);
  if (!link.IsEmpty()) {
    LogEvent(log_kind::kFailure, target + u": " + link + u" is a link");
    ShowMessage(window, WideString::Format(kLinkOnTheWay, target, link), State().InstallerTitle, MB_OK | MB_ICONERROR);
    return true;
  }
  const bool ready = prepared.Ready();
  // A member that may carry a version is never held in memory.
  const FileVersion incoming = ready && !prepared.inMemory && prepared.MayCarryVersion()
                                   ? IncomingVersion(prepared)
                                   : FileVersion();
  ExtractedSource source{prepared.file, prepared.handle.Get(), prepared.inMemory ? &prepared.bytes : nullptr};
  // Renamed into place only from the destination's own folder, whose
  // permissions it then has (not from the temporary folder it may have
  // fallen back to).
  source.movable = ready && !prepared.inMemory && SamePath(ParentFolder(prepared.file), ParentFolder(target));
  const bool cancelled = PlaceExtracted(ready, source, incoming, target, window);
  prepared.fileMoved = source.moved;
  return cancelled;
}

}  // namespace

bool PlaceFile(const WideString& member, const WideString& destination, HWND window) {
  WideString memberName = member;
  ExpandFolderMacros(memberName);
  const WideString target = ExpandedDestination(destination);
  // Outside the plan: the folders it makes and its temporary file are noted
  // before they are there.
  if (!JournalTempFolder(ParentFolder(target))) {
    ShowMessage(window, WideString::Format(kCannotInstall, target), State().InstallerTitle, MB_OK | MB_ICONERROR);
    return true;
  }
  NativeSystemFolderScope native(target);
  PrepareDestination(target);
  PreparedMember prepared;
  PayloadContext* payload = PublishedPayload();
  MemberEntries entries;
  if (payload != nullptr && payload->Archive().CollectEntries(memberName, entries)) {
    DecodeIntoFolder(entries, ParentFolder(target), nullptr, nullptr, prepared);
  }
  const bool cancelled = PlacePrepared(prepared, target, window);
  DeletePreparedFile(prepared);
  return cancelled;
}

bool PlacePreparedFile(PreparedMember& prepared, const WideString& destination, HWND window) {
  const WideString target = ExpandedDestination(destination);
  NativeSystemFolderScope native(target);
  PrepareDestination(target);
  return PlacePrepared(prepared, target, window);
}

bool PutInPlace(ExtractedSource& source, const WideString& path) {
  if (source.movable && !source.moved && source.handle != INVALID_HANDLE_VALUE) {
    // Renamed through the handle that created and wrote it: what lands at
    // the destination is that file, whatever carries its name meanwhile.
    if (RenameThroughHandle(source.handle, path, true)) {
      source.moved = true;
      return true;
    }
  } else if (source.movable && !source.moved) {
    // The temporary file itself, opened for this alone and never through a
    // link, is renamed through its handle: whatever else takes its name
    // meanwhile is never what lands at the destination.
    ScopedFileHandle file = OpenNoFollow(source.file, DELETE | FILE_READ_ATTRIBUTES, 0, true);
    if (file && RenameThroughHandle(file.Get(), path, true)) {
      source.moved = true;
      return true;
    }
  }
  if (!source.CopyTo(path)) return false;
  // A copy takes the attributes of its source: a temporary file is hidden.
  if (source.bytes == nullptr) SetItemAttributes(path, FILE_ATTRIBUTE_ARCHIVE);
  return true;
}

namespace {

// Copies everything behind from (read from its start) to out; false with
// the error set when a read or a write fails.
bool CopyThroughHandles(HANDLE from, HANDLE out) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return false;
  std::vector<uint8_t> chunk(1u << 20);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) return false;
    if (got == 0) return true;
    DWORD written = 0;
    if (!WriteFile(out, chunk.data(), got, &written, nullptr)) return false;
    if (written != got) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
  }
}

}  // namespace

bool ExtractedSource::CopyTo(const WideString& path) const {
  if (bytes == nullptr && handle == INVALID_HANDLE_VALUE) return CopyItem(file, path, false);
  ScopedFileHandle out = OpenByPath(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!out) return false;
  bool wrote = true;
  DWORD error = ERROR_SUCCESS;
  if (bytes == nullptr) {
    wrote = CopyThroughHandles(handle, out.Get());
    if (!wrote) error = GetLastError();
  } else if (!bytes->empty()) {
    DWORD written = 0;
    wrote = WriteFile(out.Get(), bytes->data(), static_cast<DWORD>(bytes->size()), &written, nullptr);
    error = wrote ? ERROR_DISK_FULL : GetLastError();
    wrote = wrote && written == bytes->size();
  }
  if (wrote) return true;
  // No partial file: what was there is gone already, as with a failed copy.
  out.Reset();
  DeleteFileNoFollow(path);
  SetLastError(error);
  return false;
}

bool ScheduleReplaceAtRestart(ExtractedSource& newFile, const WideString& destinationPath) {
  // Long paths get their prefix here too: the staged name is longer still.
  const WideString destination = LongPathForm(destinationPath, MAX_PATH);
  const WideString staged = LongPathForm(destinationPath + u"-PLITMP", MAX_PATH);
  // A staged file left by an earlier install may be read-only.
  SetItemAttributes(staged, FILE_ATTRIBUTE_NORMAL);
  if (JournalBeforeFile(destinationPath + u"-PLITMP") == KeepAside::NotKept) return false;
  if (!PutInPlace(newFile, staged)) return false;
  // A replacement an earlier install staged for the same file (no restart
  // since) is this one now: its pair goes, or at the restart its deletion
  // would come after the rename this pair makes.
  const bool earlier = ReplacementPendingAtRestart(destination, staged);
  if (!JournalPendingRename(destinationPath, destinationPath + u"-PLITMP", earlier)) return false;
  if (earlier) CancelReplacementAtRestart(destination, staged);
  // The file in use goes first, then the staged copy takes its name.
  if (!ScheduleMoveAtRestart(destination, WideString())) return false;
  if (!ScheduleMoveAtRestart(staged, destination)) {
    // Without its replacement the file in use would just be gone.
    CancelDeletionAtRestart(destination);
    return false;
  }
  State().RebootRequired = true;
  LogEvent(log_kind::kFileStaged, destinationPath);
  return true;
}

void QueueForRegistration(const WideString& path) {
  if (!IsSelfRegisteringFile(path)) return;
  // A server registers itself in the machine's classes.
  if (PerUserRun()) {
    LogSkippedForUser(u"the registration of " + path, WideString(u"a DLL registers itself for the whole machine"));
    return;
  }
  DllRegistrationList().Add(path);
}

StringList& DllRegistrationList() {
  static StringList list;
  return list;
}
