#include <cstdio>

#include "packer/cli_commands.h"
#include "packer/file_io.h"
#include "packer/messages.h"
#include "packer/platform_files.h"

namespace {

const char kLicenceText[] =
    "Plove Install is free software under the MIT licence (LICENSE.txt beside the guide).\n"
    "The installer stubs, and so every installer plovepack builds, carry liblzma from XZ Utils\n"
    "(public domain), the mingw-w64 runtime (Zope Public License 2.1, parts public domain or\n"
    "under BSD-style notices) and GCC's runtime libraries (GPL with the GCC Runtime Library\n"
    "Exception); the licence texts are installed in the licenses folder beside the guide.\n";

}  // namespace

int ReadInputFile(const std::string& path, const char* what, std::vector<uint8_t>* data) {
  if (KindOfPath(path) != PathKind::File) return Fail(kExitBadInput, std::string(what) + " '" + path + "' not found");
  if (!ReadWholeFile(path, data)) return Fail(kExitIoFailure, std::string("cannot read ") + what + " '" + path + "'");
  return kExitOk;
}

int RunPlovepack(const std::vector<std::string>& args) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, &parsed, &error)) {
    std::fprintf(stderr, "plovepack: error: %s\n%s", error.c_str(), UsageText(parsed.command).c_str());
    return kExitUsage;
  }
  if (parsed.help) {
    std::fputs(UsageText(parsed.command).c_str(), stdout);
    return kExitOk;
  }
  if (parsed.showVersion) {
    std::printf("plovepack %s\n%s", PLOVE_VERSION_TEXT, kLicenceText);
    return kExitOk;
  }
  if (parsed.command == "build") return CommandBuild(parsed);
  if (parsed.command == "list") return CommandList(parsed);
  if (parsed.command == "verify") return CommandVerify(parsed);
  if (parsed.command == "extract") return CommandExtract(parsed);
  if (parsed.command == "manifest") return CommandManifest(parsed);
  if (parsed.command == "choco") return CommandChoco(parsed);
  return CommandLint(parsed);
}
