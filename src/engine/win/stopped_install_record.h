#pragma once
// The uninstall record of an install that stopped before its end (cancelled,
// or a file that could not be placed): what the pass placed must still be
// removable, by the product's entry and uninstaller like any install, and
// the uninstall must not remove what the pass never reached, such as a file
// of another program at a later destination.

// What the install pass went past, counted in script order: "[CopyFile]"
// entries handled (placed, kept or not for this system), "[CreateIcon]" and
// "[Registry]" entries performed.
struct PassProgress {
  int copies = 0;
  int shortcuts = 0;
  int registry = 0;
  bool Any() const { return copies > 0 || shortcuts > 0 || registry > 0; }
};

// Writes the uninstall record (WriteUninstallRecord: the uninstaller copy,
// the record and the product's entry; nothing when the script says
// "[NoUnInstall]"), then keeps in the record only the first reached.copies
// "[CopyFile]", reached.shortcuts "[CreateIcon]" and reached.registry
// "[Registry]" entries. The record is read as the pass read the script:
// each directive of the pass with its value lines ("[Message]" without them
// when silent). Every other line stays as it is.
void WriteStoppedInstallRecord(const PassProgress& reached, bool silent);
