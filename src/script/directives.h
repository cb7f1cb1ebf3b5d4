#pragma once
// The directives of the install script (and of the uninstall record, which
// is a copy of it): each section line and the number of value lines that
// follow it. Every reader in the installer and the packer's linter share
// this table.

#include "util/wide_string.h"

struct DirectiveInfo {
  const char16_t* section;  // the whole line, brackets included
  int valueLines;
};

// Section lines of the directives, in the order they are documented.
namespace Directive {
constexpr const char16_t* ProjectName = u"[Project Name]";
constexpr const char16_t* ProgramVersion = u"[ProgramVersion]";
constexpr const char16_t* InstallTo = u"[Install To]";
constexpr const char16_t* UninstallSettings = u"[UninstallSettings]";
constexpr const char16_t* SaveInstallPath = u"[SaveInstallPath]";
constexpr const char16_t* LocateInstall = u"[LocateInstall]";
constexpr const char16_t* WindowsVersion = u"[Windows Version]";
constexpr const char16_t* NoUnInstall = u"[NoUnInstall]";
constexpr const char16_t* NoOfferUninstallOld = u"[NoOfferUninstallOld]";
constexpr const char16_t* Action = u"[Action]";
constexpr const char16_t* CopyFile = u"[CopyFile]";
constexpr const char16_t* CreateIcon = u"[CreateIcon]";
constexpr const char16_t* RunAndWaitFile = u"[RunAndWaitFile]";
constexpr const char16_t* RunFile = u"[RunFile]";
constexpr const char16_t* Message = u"[Message]";
constexpr const char16_t* Registry = u"[Registry]";
constexpr const char16_t* UninstallAction = u"[UninstallAction]";
constexpr const char16_t* InstallContainer = u"[InstallContainer]";
constexpr const char16_t* NoTestAdmin = u"[NoTestAdmin]";
constexpr const char16_t* InstallScope = u"[InstallScope]";
}  // namespace Directive

// The option-line marker of [CreateIcon], [RunFile] and [RunAndWaitFile];
// the option's caption is the line from its 12th character on.
constexpr const char16_t* kOptionalMarker = u"Optional - ";
constexpr int kOptionalCaptionStart = 12;

// The separator of a container's conditional 32-bit line in [Message].
constexpr const char16_t* kForce32BitSeparator = u"{force32bitinstallif}";

// Every directive; count through DirectiveCount().
const DirectiveInfo* AllDirectives();
int DirectiveCount();

// The directive whose section line equals line exactly (case-sensitive,
// whole line); nullptr when none.
const DirectiveInfo* FindDirective(const WideString& line);

// True when the option line makes the action optional, and its caption.
bool IsOptionalAction(const WideString& optionLine);
WideString OptionalCaption(const WideString& optionLine);
