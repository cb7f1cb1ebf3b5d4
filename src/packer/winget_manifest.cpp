#include "packer/winget_manifest.h"

#include <algorithm>
#include <cstring>

#include <regex>
#include <vector>

#include "packer/script_scan.h"
#include "pe/pe_headers.h"

namespace {

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMachineAmd64 = 0x8664;

bool ForbiddenInName(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || std::u16string(u"\\/:*?\"<>|").find(c) != std::u16string::npos;
}

std::u16string Units(const std::string& utf8) { return WideString::FromUtf8(utf8.c_str(), int(utf8.size())).Str(); }

void AppendUtf8(std::string& out, char16_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// A YAML double-quoted scalar: any text, escapes for quotes, backslashes
// and characters YAML does not print.
std::string Quoted(const std::string& utf8) {
  std::u16string units = Units(utf8);
  std::string out = "\"";
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t c = units[i];
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      static const char kDigits[] = "0123456789ABCDEF";
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
      // A surrogate pair: one four-byte UTF-8 sequence.
      uint32_t code = 0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(units[++i]) - 0xDC00);
      out += char(0xF0 | (code >> 18));
      out += char(0x80 | ((code >> 12) & 0x3F));
      out += char(0x80 | ((code >> 6) & 0x3F));
      out += char(0x80 | (code & 0x3F));
    } else {
      AppendUtf8(out, c);
    }
  }
  return out + "\"";
}

}  // namespace

WingetProduct ReadWingetProduct(const uint8_t* script, size_t size) {
  WingetProduct product;
  ScriptScan scan = ScanScript(script, size);
  bool scopeRead = false;
  for (const ScriptDirective& d : scan.directives) {
    if (d.values.empty()) continue;
    std::string text = d.Value(0).text.ToUtf8();
    if (d.Is(Directive::ProjectName)) {
      product.name = text;
      product.hasName = true;
    } else if (d.Is(Directive::ProgramVersion)) {
      product.version = text;
    } else if (d.Is(Directive::UninstallSettings)) {
      product.publisher = text;
    } else if (d.Is(Directive::InstallScope) && !scopeRead) {
      scopeRead = true;
      (void)ParseInstallScope(d.Value(0).text, product.scope);
    }
  }
  return product;
}

std::string InstallerArchitecture(const ByteSource& image) {
  PeHeaders headers;
  uint16_t machine = 0;
  if (ReadPeHeaders(image, &headers) != PeStatus::Ok || !image.ReadU16(headers.fileHeaderOffset, &machine)) return {};
  if (machine == kMachineI386 && !headers.is64) return "x86";
  if (machine == kMachineAmd64 && headers.is64) return "x64";
  return {};
}

bool IsPackageIdentifier(const std::string& text) {
  std::u16string units = Units(text);
  if (units.empty() || WideString(units).ToUtf8() != text) return false;
  size_t parts = 1, length = 0;
  for (char16_t c : units) {
    if (c == u'.') {
      if (length == 0) return false;
      ++parts;
      length = 0;
    } else if (ForbiddenInName(c) || c == u' ' || c == u'\t') {
      return false;
    } else if (++length > 32) {
      return false;
    }
  }
  return length != 0 && parts >= 2 && parts <= 8;
}

bool IsInstallerUrl(const std::string& text) {
  std::string lower;
  for (char c : text) lower += (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
  size_t scheme = lower.compare(0, 7, "http://") == 0 ? 7 : lower.compare(0, 8, "https://") == 0 ? 8 : 0;
  if (scheme == 0 || text.size() <= scheme || text.size() > 2048) return false;
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool IsPackageVersion(const std::string& text) {
  std::u16string units = Units(text);
  if (units.empty() || units.size() > 128 || WideString(units).ToUtf8() != text) return false;
  for (char16_t c : units) {
    if (ForbiddenInName(c)) return false;
  }
  return true;
}

bool IsSupportedManifestVersion(const std::string& version) { return version == "1.12.0" || version == "1.6.0"; }

bool IsLocaleTag(const std::string& text) {
  static const std::regex tag("([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*");
  return text.size() <= 20 && std::regex_match(text, tag);
}

size_t CharacterCount(const std::string& utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
  return count;
}

namespace {

// The two comment lines winget's repository wants at the top of each file.
std::string Header(const char* what, const char* schemaName, const std::string& manifestVersion) {
  return std::string("# ") + what + " manifest for winget (manifest schema " + manifestVersion +
         "), written by plovepack from the installer.\n# yaml-language-server: $schema=https://aka.ms/winget-manifest." +
         schemaName + "." + manifestVersion + ".schema.json\n\n";
}

std::string Identity(const WingetInstaller& in) {
  return "PackageIdentifier: " + Quoted(in.identifier) + "\nPackageVersion: " + Quoted(in.version) + "\n";
}

std::string Trailer(const char* type, const std::string& manifestVersion) {
  return std::string("ManifestType: ") + type + "\nManifestVersion: " + manifestVersion + "\n";
}

}  // namespace

namespace {

// One entry of the installer manifest, for a machine or a per-user install;
// scopeSwitch, when given, is the installer's option that picks the scope.
std::string InstallerEntry(const WingetInstaller& in, RunScope scope, const char* scopeSwitch) {
  std::string y = "  - Architecture: " + in.architecture + "\n";
  y += "    InstallerType: exe\n";
  y += "    InstallerUrl: " + Quoted(in.url) + "\n";
  y += "    InstallerSha256: " + Quoted(in.sha256) + "\n";
  if (scope == RunScope::Machine) {
    y += "    Scope: machine\n";
    y += "    ElevationRequirement: elevatesSelf\n";
  } else {
    // It never elevates, and an elevated winget may still run it: for the
    // administrator's own profile.
    y += "    Scope: user\n";
  }
  y += "    InstallModes:\n      - interactive\n      - silent\n      - silentWithProgress\n";
  // winget joins the switches in the order: experience, Log, custom,
  // upgrade, InstallLocation; "--installto" takes the rest of the command
  // line, so nothing may follow it, and nothing does.
  y += "    InstallerSwitches:\n";
  y += "      Silent: \"--silent\"\n";
  y += "      SilentWithProgress: \"--silent\"\n";
  y += "      Log: " + Quoted("--log=\"<LOGPATH>\"") + "\n";
  if (scopeSwitch != nullptr) y += "      Custom: " + Quoted(scopeSwitch) + "\n";
  y += "      InstallLocation: " + Quoted("--installto=\"<INSTALLPATH>\"") + "\n";
  y += "    ExpectedReturnCodes:\n";
  // The schema has no response for a plain failure; contactSupport is the
  // one winget reports as "installation failed".
  const std::pair<int, const char*> codes[] = {
      {1602, "cancelledByUser"}, {1603, "contactSupport"}, {3010, "rebootRequiredToFinish"}, {1641, "rebootInitiated"}};
  for (const auto& [code, response] : codes) {
    y += "      - InstallerReturnCode: " + std::to_string(code) + "\n";
    y += "        ReturnResponse: " + std::string(response) + "\n";
  }
  y += "    UpgradeBehavior: install\n";
  y += "    ProductCode: " + Quoted(in.product.name) + "\n";
  y += "    AppsAndFeaturesEntries:\n";
  y += "      - DisplayName: " + Quoted(in.product.name) + "\n";
  if (!in.product.publisher.empty()) y += "        Publisher: " + Quoted(in.product.publisher) + "\n";
  if (!in.product.version.empty()) y += "        DisplayVersion: " + Quoted(in.product.version) + "\n";
  y += "        ProductCode: " + Quoted(in.product.name) + "\n";
  return y;
}

}  // namespace

std::string WriteWingetManifest(const WingetInstaller& in, const std::string& manifestVersion) {
  std::string y = Header("Installer", "installer", manifestVersion) + Identity(in);
  y += "Installers:\n";
  switch (in.product.scope) {
    case InstallScope::Machine:
      y += InstallerEntry(in, RunScope::Machine, nullptr);
      break;
    case InstallScope::User:
      y += InstallerEntry(in, RunScope::User, nullptr);
      break;
    case InstallScope::Either:
      y += InstallerEntry(in, RunScope::Machine, "--allusers");
      y += InstallerEntry(in, RunScope::User, "--currentuser");
      break;
  }
  return y + Trailer("installer", manifestVersion);
}

std::string WriteWingetVersionManifest(const WingetInstaller& in, const std::string& locale,
                                       const std::string& manifestVersion) {
  return Header("Version", "version", manifestVersion) + Identity(in) + "DefaultLocale: " + locale + "\n" +
         Trailer("version", manifestVersion);
}

std::string WriteWingetLocaleManifest(const WingetInstaller& in, const WingetLocale& locale,
                                      const std::string& manifestVersion) {
  std::string y = Header("Default locale", "defaultLocale", manifestVersion) + Identity(in);
  y += "PackageLocale: " + locale.locale + "\n";
  y += "Publisher: " + Quoted(locale.publisher) + "\n";
  y += "PackageName: " + Quoted(in.product.name) + "\n";
  if (!locale.publisherUrl.empty()) y += "PublisherUrl: " + Quoted(locale.publisherUrl) + "\n";
  y += "License: " + Quoted(locale.license) + "\n";
  if (!locale.licenseUrl.empty()) y += "LicenseUrl: " + Quoted(locale.licenseUrl) + "\n";
  y += "ShortDescription: " + Quoted(locale.shortDescription) + "\n";
  if (!locale.description.empty()) y += "Description: " + Quoted(locale.description) + "\n";
  if (!locale.moniker.empty()) y += "Moniker: " + Quoted(locale.moniker) + "\n";
  if (!locale.tags.empty()) {
    y += "Tags:\n";
    for (const std::string& tag : locale.tags) y += "  - " + Quoted(tag) + "\n";
  }
  if (!locale.releaseNotes.empty()) y += "ReleaseNotes: " + Quoted(locale.releaseNotes) + "\n";
  return y + Trailer("defaultLocale", manifestVersion);
}

std::vector<std::string> WingetManifestFolders(const std::string& identifier, const std::string& version) {
  std::vector<std::string> folders = {"manifests"};
  // The first character, ASCII letters in lower case (UTF-8 sequences whole).
  size_t first = 1;
  while (first < identifier.size() && (static_cast<unsigned char>(identifier[first]) & 0xC0) == 0x80) ++first;
  std::string letter = identifier.substr(0, first);
  if (letter.size() == 1 && letter[0] >= 'A' && letter[0] <= 'Z') letter[0] = char(letter[0] + 32);
  folders.push_back(letter);
  size_t start = 0;
  for (size_t dot; (dot = identifier.find('.', start)) != std::string::npos; start = dot + 1) {
    folders.push_back(identifier.substr(start, dot - start));
  }
  folders.push_back(identifier.substr(start));
  folders.push_back(version);
  return folders;
}

std::vector<std::string> SplitTags(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ' ';
    if (c == ',' || c == ' ' || c == '\t') {
      if (!word.empty() && std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

namespace {

// The text of a double-quoted scalar as Quoted writes it; false for
// anything else.
bool Unquoted(const std::string& scalar, std::string* text) {
  if (scalar.size() < 2 || scalar.front() != '"' || scalar.back() != '"') return false;
  text->clear();
  for (size_t i = 1; i + 1 < scalar.size(); ++i) {
    char c = scalar[i];
    if (c != '\\') {
      *text += c;
      continue;
    }
    if (++i + 1 > scalar.size() - 1) return false;
    c = scalar[i];
    if (c == 'x' && i + 2 < scalar.size() - 1) {
      *text += char(std::stoi(scalar.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      *text += c;
    }
  }
  return true;
}

}  // namespace

void KeepEarlierLocaleTexts(const std::string& yaml, WingetLocale* locale) {
  const std::pair<const char*, std::string*> fields[] = {
      {"PublisherUrl: ", &locale->publisherUrl}, {"LicenseUrl: ", &locale->licenseUrl},
      {"Moniker: ", &locale->moniker},           {"Description: ", &locale->description},
      {"ReleaseNotes: ", &locale->releaseNotes}};
  std::vector<std::string> tags;
  bool inTags = false;
  size_t start = 0;
  while (start < yaml.size()) {
    size_t end = yaml.find('\n', start);
    if (end == std::string::npos) end = yaml.size();
    std::string line = yaml.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    std::string text;
    if (inTags && line.rfind("  - ", 0) == 0) {
      if (Unquoted(line.substr(4), &text)) tags.push_back(text);
      continue;
    }
    inTags = line == "Tags:";
    for (const auto& [key, field] : fields) {
      if (field->empty() && line.rfind(key, 0) == 0 && Unquoted(line.substr(strlen(key)), &text)) *field = text;
    }
  }
  if (locale->tags.empty()) locale->tags = tags;
}
