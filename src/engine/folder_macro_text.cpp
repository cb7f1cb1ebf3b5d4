#include "engine/folder_macro_text.h"

#include "util/path_text.h"

const WChar* FolderMacroName(FolderMacro macro) {
  switch (macro) {
    case FolderMacro::System: return u"<System>";
    case FolderMacro::SystemWow64: return u"<SystemWOW64>";
    case FolderMacro::Windows: return u"<Windows>";
    case FolderMacro::Destination: return u"<Destination>";
    case FolderMacro::ProgramFiles: return u"<Program Files>";
    case FolderMacro::CommonFiles: return u"<Common Files>";
    case FolderMacro::Startup: return u"<Startup>";
    case FolderMacro::StartPrograms: return u"<Start Programs>";
    case FolderMacro::DeskTop: return u"<DeskTop>";
    case FolderMacro::QuickLaunch: return u"<QuickLaunch>";
    case FolderMacro::MyDocuments: return u"<MyDocuments>";
    case FolderMacro::Source: return u"<Source>";
  }
  return u"";
}

void SubstituteFolderMacro(WideString& text, FolderMacro macro, WideString value) {
  AddBackslash(value);
  text.Replace(WideString(FolderMacroName(macro)), value, true);
}

void CollapseBackslashes(WideString& text) {
  const WideString pair(u"\\\\");
  const bool unc = text.StartsWith(pair);
  text.Replace(pair, WideString(u"\\"), false);
  if (unc) text.InsertChar(u'\\', 1);
}
