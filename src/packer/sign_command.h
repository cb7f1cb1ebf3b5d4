#pragma once
// The publisher's signing command, run on the uninstaller before it is
// packed, so that the uninstaller the installer leaves behind carries the
// publisher's signature (the installer itself is signed after packing, as
// any program).
//
// The command is run through the shell with "{in}" replaced by the unsigned
// uninstaller's path and "{out}" by the path the signed one is to be written
// to, both quoted for the shell; a command without "{out}" signs "{in}" in
// place (signtool does). The two files lie beside the installer being
// written and are removed again.

#include <cstdint>
#include <string>
#include <vector>

// The command with every "{in}" and "{out}" replaced by the quoted paths.
std::string ExpandSignCommand(const std::string& command, const std::string& in, const std::string& out);

// Runs command on uninstaller. True with the signed image in signedImage;
// false with a message in error (UTF-8) when the command names no "{in}",
// cannot be run, ends with a status other than 0, or leaves no Windows
// executable behind. A result without a signature passes, with a warning.
bool SignUninstaller(const std::string& command, const std::string& installerPath,
                     const std::vector<uint8_t>& uninstaller, std::vector<uint8_t>* signedImage, std::string* error);
