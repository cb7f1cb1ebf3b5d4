#include "script/directives.h"

namespace {
const DirectiveInfo kDirectives[] = {
    {Directive::ProjectName, 1},     {Directive::ProgramVersion, 1},  {Directive::InstallTo, 1},
    {Directive::UninstallSettings, 1}, {Directive::SaveInstallPath, 1}, {Directive::LocateInstall, 1},
    {Directive::WindowsVersion, 1},  {Directive::NoUnInstall, 0},     {Directive::NoOfferUninstallOld, 0},
    {Directive::Action, 1},          {Directive::CopyFile, 2},        {Directive::CreateIcon, 4},
    {Directive::RunAndWaitFile, 3},  {Directive::RunFile, 3},         {Directive::Message, 2},
    {Directive::Registry, 5},        {Directive::UninstallAction, 2}, {Directive::InstallContainer, 0},
    {Directive::NoTestAdmin, 0},     {Directive::InstallScope, 1},
};
}  // namespace

const DirectiveInfo* AllDirectives() { return kDirectives; }
int DirectiveCount() { return static_cast<int>(sizeof kDirectives / sizeof kDirectives[0]); }

const DirectiveInfo* FindDirective(const WideString& line) {
  for (const DirectiveInfo& d : kDirectives)
    if (line == WideString(d.section)) return &d;
  return nullptr;
}

bool IsOptionalAction(const WideString& optionLine) { return optionLine.Find(WideString(kOptionalMarker)) != 0; }

WideString OptionalCaption(const WideString& optionLine) { return optionLine.From(kOptionalCaptionStart); }
