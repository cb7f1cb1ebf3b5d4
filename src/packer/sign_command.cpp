#include "packer/sign_command.h"

#include "packer/file_io.h"
#include "packer/messages.h"
#include "packer/platform_files.h"
#include "packer/shell_command.h"
#include "pe/pe_headers.h"
#include "pe/uninstaller_recipe.h"

namespace {

const std::string kIn = "{in}";
const std::string kOut = "{out}";

// Removes the file when it goes out of scope.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) { DeleteFileUtf8(path_); }
  ~TemporaryFile() { DeleteFileUtf8(path_); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string ExpandSignCommand(const std::string& command, const std::string& in, const std::string& out) {
  std::string expanded;
  for (size_t i = 0; i < command.size();) {
    if (command.compare(i, kIn.size(), kIn) == 0) {
      expanded += QuotedForShell(in);
      i += kIn.size();
    } else if (command.compare(i, kOut.size(), kOut) == 0) {
      expanded += QuotedForShell(out);
      i += kOut.size();
    } else {
      expanded += command[i++];
    }
  }
  return expanded;
}

bool SignUninstaller(const std::string& command, const std::string& installerPath,
                     const std::vector<uint8_t>& uninstaller, std::vector<uint8_t>* signedImage, std::string* error) {
  signedImage->clear();
  if (command.find(kIn) == std::string::npos) {
    *error = "--sign-command must name the file to sign as {in}";
    return false;
  }
  const bool inPlace = command.find(kOut) == std::string::npos;
  TemporaryFile in(installerPath + ".uninstaller.exe");
  TemporaryFile out(installerPath + ".uninstaller-signed.exe");
  if (!WriteFileAtomically(in.Path(), uninstaller.data(), uninstaller.size())) {
    *error = "cannot write '" + in.Path() + "'";
    return false;
  }
  const std::string expanded = ExpandSignCommand(command, in.Path(), out.Path());
  const int status = RunShellCommand(expanded);
  if (status != 0) {
    const std::string how = status < 0 ? "could not be run" : "ended with exit status " + std::to_string(status);
    *error = "the sign command " + how + ": " + expanded;
    return false;
  }
  const std::string& result = inPlace ? in.Path() : out.Path();
  if (KindOfPath(result) != PathKind::File || !ReadWholeFile(result, signedImage) || signedImage->empty()) {
    *error = "the sign command left no signed uninstaller at '" + result + "'";
    return false;
  }
  MemorySource source(signedImage->data(), signedImage->size());
  PeHeaders headers;
  if (ReadPeHeaders(source, &headers) != PeStatus::Ok || signedImage->size() > kMaxUninstallerSize) {
    *error = "what the sign command left at '" + result + "' is not a Windows executable";
    signedImage->clear();
    return false;
  }
  if (headers.Directory(kDirectorySecurity).size == 0) {
    PrintWarning("the sign command left the uninstaller without a signature");
  }
  return true;
}
