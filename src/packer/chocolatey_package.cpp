#include "packer/chocolatey_package.h"

#include <algorithm>
#include <regex>

#include "packer/sha256.h"
#include "packer/winget_manifest.h"

namespace {

std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

// A PowerShell single-quoted string: nothing inside is expanded; a quote is
// doubled, and PowerShell takes the typographic single quotes (U+2018 to
// U+201B, which Windows-1252 names hold as 0x91, 0x92, 0x82) as quotes too.
std::string Quoted(const std::string& utf8) {
  std::string out = "'";
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\'') {
      out += "''";
    } else if (utf8.compare(i, 2, "\xE2\x80") == 0 && i + 2 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 2]) >= 0x98 && static_cast<unsigned char>(utf8[i + 2]) <= 0x9B) {
      out += utf8.substr(i, 3) + utf8.substr(i, 3);
      i += 2;
    } else {
      out += utf8[i];
    }
  }
  return out + "'";
}

std::string ShortHash(const std::string& text, size_t digits) {
  Sha256 hash;
  hash.Update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return HexDigest(hash.Finish()).substr(0, digits);
}

const char kSilentArgs[] = "--silent --noautoreboot";
const char kValidExitCodes[] = "@(0, 3010, 1641)";

}  // namespace

bool IsChocolateyId(const std::string& text) {
  static const std::regex id("[A-Za-z0-9_]+([.-][A-Za-z0-9_]+)*");
  return text.size() <= 100 && std::regex_match(text, id);
}

bool IsChocolateyVersion(const std::string& text) {
  static const std::regex version("[0-9]{1,9}(\\.[0-9]{1,9}){0,3}(-[0-9A-Za-z-]+(\\.[0-9A-Za-z-]+)*)?");
  return text.size() <= 64 && std::regex_match(text, version);
}

bool IsPlainFileName(const std::string& text) {
  static const std::regex name("[A-Za-z0-9_-][A-Za-z0-9._-]*");
  return text.size() <= 200 && std::regex_match(text, name);
}

std::string ChocolateyTags(const std::string& text) {
  std::string joined;
  for (const std::string& word : SplitTags(text)) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

std::string ChocolateyNuspec(const ChocolateyPackage& p, bool withFiles) {
  std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  x += "<!-- Written by plovepack from the installer. -->\n";
  x += "<package xmlns=\"http://schemas.microsoft.com/packaging/2015/06/nuspec.xsd\">\n";
  x += "  <metadata>\n";
  x += "    <id>" + Xml(p.id) + "</id>\n";
  x += "    <version>" + Xml(p.version) + "</version>\n";
  x += "    <title>" + Xml(p.title) + "</title>\n";
  x += "    <authors>" + Xml(p.authors) + "</authors>\n";
  if (!p.projectUrl.empty()) x += "    <projectUrl>" + Xml(p.projectUrl) + "</projectUrl>\n";
  if (!p.packageSourceUrl.empty()) x += "    <packageSourceUrl>" + Xml(p.packageSourceUrl) + "</packageSourceUrl>\n";
  if (!p.licenseUrl.empty()) x += "    <licenseUrl>" + Xml(p.licenseUrl) + "</licenseUrl>\n";
  if (!p.iconUrl.empty()) x += "    <iconUrl>" + Xml(p.iconUrl) + "</iconUrl>\n";
  x += "    <requireLicenseAcceptance>false</requireLicenseAcceptance>\n";
  if (!p.tags.empty()) x += "    <tags>" + Xml(p.tags) + "</tags>\n";
  x += "    <description>" + Xml(p.description) + "</description>\n";
  x += "  </metadata>\n";
  if (withFiles) x += "  <files>\n    <file src=\"tools\\**\" target=\"tools\" />\n  </files>\n";
  return x + "</package>\n";
}

std::string ChocolateyInstallScript(const ChocolateyPackage& p) {
  const bool x64 = p.architecture == "x64";
  std::string s = "# Installs " + p.productName + (p.productVersion.empty() ? "" : " " + p.productVersion) +
                  " silently with its own installer. Written by plovepack.\n";
  s += "$ErrorActionPreference = 'Stop'\n";
  if (!p.embeddedFile.empty()) s += "$toolsDir = Split-Path -Parent $MyInvocation.MyCommand.Definition\n";
  s += "\n$packageArgs = @{\n";
  s += "  packageName    = $env:ChocolateyPackageName\n";
  s += "  fileType       = 'exe'\n";
  if (!p.embeddedFile.empty()) {
    // A 64-bit installer only as file64: on 32-bit Windows Chocolatey then
    // refuses the package instead of starting an installer that cannot run.
    s += std::string(x64 ? "  file64         = " : "  file           = ") + "Join-Path $toolsDir " +
         Quoted(p.embeddedFile) + "\n";
  } else if (x64) {
    s += "  url64bit       = " + Quoted(p.url) + "\n";
    s += "  checksum64     = '" + p.sha256 + "'\n";
    s += "  checksumType64 = 'sha256'\n";
  } else {
    s += "  url            = " + Quoted(p.url) + "\n";
    s += "  checksum       = '" + p.sha256 + "'\n";
    s += "  checksumType   = 'sha256'\n";
  }
  // 3010: done, the files in use are replaced at the next restart (which
  // --noautoreboot leaves to the user); 1641: done, Windows is restarting.
  // Chocolatey installs for the machine: a script that lets the person
  // choose is told so.
  s += std::string("  silentArgs     = '") + kSilentArgs + (p.allUsers ? " --allusers" : "") + "'\n";
  s += std::string("  validExitCodes = ") + kValidExitCodes + "\n";
  s += "}\n";
  s += p.embeddedFile.empty() ? "Install-ChocolateyPackage @packageArgs\n" : "Install-ChocolateyInstallPackage @packageArgs\n";
  return s;
}

std::string ChocolateyUninstallScript(const ChocolateyPackage& p) {
  std::string s = "# Removes " + p.productName +
                  " silently with the uninstaller its installer left behind. Written by plovepack.\n";
  s += "$ErrorActionPreference = 'Stop'\n\n";
  s += "$productName = " + Quoted(p.productName) + "\n";
  s += "# The installer keeps its entry in the 32-bit registry view, which is\n";
  s += "# WOW6432Node on 64-bit Windows.\n";
  s += "$entry = @(\n";
  s += "  \"HKLM:\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$productName\",\n";
  s += "  \"HKLM:\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$productName\"\n";
  s += ") | Where-Object { Test-Path -LiteralPath $_ } | Select-Object -First 1\n";
  s += "if (-not $entry) {\n";
  s += "  Write-Warning \"$productName is not installed: there is no uninstall entry for it.\"\n";
  s += "  return\n";
  s += "}\n";
  s += "$command = (Get-ItemProperty -LiteralPath $entry).QuietUninstallString\n";
  s += "# \"C:\\...\\Uninstall-Name.exe\" --silent --noautoreboot --uninstall=\"C:\\...\\PloveUninstall-Name.dat\"\n";
  s += "if ($command -notmatch '^\\s*\"([^\"]+)\"\\s*(.*)$') {\n";
  s += "  throw \"The uninstall entry of $productName has no QuietUninstallString to run.\"\n";
  s += "}\n\n";
  s += "$packageArgs = @{\n";
  s += "  packageName    = $env:ChocolateyPackageName\n";
  s += "  fileType       = 'exe'\n";
  s += "  file           = $Matches[1]\n";
  s += "  silentArgs     = $Matches[2]\n";
  s += std::string("  validExitCodes = ") + kValidExitCodes + "\n";
  s += "}\n";
  s += "Uninstall-ChocolateyPackage @packageArgs\n";
  return s;
}

std::string ChocolateyVerification(const ChocolateyPackage& p) {
  std::string t = "VERIFICATION\n";
  t += "Verification is intended to assist the Chocolatey moderators and community\n";
  t += "in verifying that this package's contents are trustworthy.\n\n";
  t += "tools\\" + p.embeddedFile + " is the installer of " + p.productName +
       (p.productVersion.empty() ? "" : " " + p.productVersion) + " by " + p.authors + ".\n";
  if (!p.url.empty()) {
    t += "The publisher distributes it at\n  " + p.url + "\n\n";
    t += "1. Download the installer from that address.\n";
    t += "2. Compute its SHA-256, in PowerShell:\n";
    t += "     Get-FileHash -Algorithm SHA256 " + p.embeddedFile + "\n";
    t += "   or with Chocolatey's checksum.exe:\n";
    t += "     checksum -t sha256 -f " + p.embeddedFile + "\n";
    t += "3. Compare it with the SHA-256 of tools\\" + p.embeddedFile + " in this package:\n";
  } else {
    t += "Compute the SHA-256 of tools\\" + p.embeddedFile + ", in PowerShell:\n";
    t += "  Get-FileHash -Algorithm SHA256 tools\\" + p.embeddedFile + "\n";
    t += "It must be:\n";
  }
  t += "     SHA256: " + p.sha256 + "\n";
  if (p.hasLicence) {
    t += p.licenceGiven ? "\nLICENSE.txt beside this file is the licence the installer is distributed under.\n"
                        : "\nLICENSE.txt beside this file is the licence text that the installer shows.\n";
  }
  return t;
}

std::string PowerShellFileText(const std::string& script) {
  for (unsigned char c : script) {
    if (c >= 0x80) return "\xEF\xBB\xBF" + script;
  }
  return script;
}

std::string NupkgRelationships(const ChocolateyPackage& p, const std::string& propertiesPart) {
  const std::string nuspec = "/" + p.id + ".nuspec", properties = "/" + propertiesPart;
  std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  x += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n";
  x += "  <Relationship Type=\"http://schemas.microsoft.com/packaging/2010/07/manifest\" Target=\"" + Xml(nuspec) +
       "\" Id=\"R" + ShortHash(nuspec, 16) + "\" />\n";
  x += "  <Relationship Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
       "Target=\"" + Xml(properties) + "\" Id=\"R" + ShortHash(properties, 16) + "\" />\n";
  return x + "</Relationships>\n";
}

std::string NupkgContentTypes(const std::vector<std::string>& fileNames) {
  std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  x += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n";
  x += "  <Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\" />\n";
  x += "  <Default Extension=\"psmdcp\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\" />\n";
  std::vector<std::string> extensions, overrides;
  auto lower = [](std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    return text;
  };
  for (const std::string& name : fileNames) {
    size_t slash = name.rfind('/'), dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
      overrides.push_back("/" + name);
      continue;
    }
    std::string extension = name.substr(dot + 1);
    bool seen = false;
    for (const std::string& e : extensions) seen = seen || lower(e) == lower(extension);
    if (!seen) extensions.push_back(extension);
  }
  extensions.push_back("nuspec");
  for (const std::string& e : extensions) {
    x += "  <Default Extension=\"" + Xml(e) + "\" ContentType=\"application/octet\" />\n";
  }
  for (const std::string& o : overrides) {
    x += "  <Override PartName=\"" + Xml(o) + "\" ContentType=\"application/octet\" />\n";
  }
  return x + "</Types>\n";
}

std::string NupkgCoreProperties(const ChocolateyPackage& p) {
  std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  x += "<coreProperties xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
       "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
       "xmlns=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\">\n";
  x += "  <dc:creator>" + Xml(p.authors) + "</dc:creator>\n";
  x += "  <dc:description>" + Xml(p.description) + "</dc:description>\n";
  x += "  <dc:identifier>" + Xml(p.id) + "</dc:identifier>\n";
  x += "  <version>" + Xml(p.version) + "</version>\n";
  x += "  <keywords></keywords>\n";
  x += "  <lastModifiedBy>plovepack</lastModifiedBy>\n";
  return x + "</coreProperties>\n";
}
