// A container holding two real installers, a 32-bit and a 64-bit build of
// a product, each packed from a small test product: the container installs
// the one that fits, or the 32-bit one when told, and each product gets its
// own entry in the list of installed programs.

#include <gtest/gtest.h>

#include "container_test_support.h"
#include "util/win/registry.h"

namespace {

const WideString kUninstallKey(u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");

// A product whose install ends with a probe run that records the command
// line of the process that installs it.
std::vector<PackSource> Product(const std::string& name, const WideString& probeOutput) {
  const std::string script = "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\nC:\\" +
                             name + "\\\r\n[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n" +
                             "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probeOutput.ToUtf8() + "\"\r\n\r\n";
  return {{"setup.dat", Bytes(script)},
          {"app.txt", Bytes(name + "\r\n")},
          {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}};
}

// The command line of the process that ran the probe (see fixtures/probe.c).
WideString InstallingCommandLine(const WideString& probeOutput) {
  const std::string bytes = FileBytes(probeOutput);
  WideString text(reinterpret_cast<const WChar*>(bytes.data()), static_cast<int>(bytes.size() / 2));
  const int lineEnd = text.Find(u"\r\n");
  return lineEnd == 0 ? WideString() : text.From(lineEnd + 2);
}

bool Installed(const WideString& product) {
  return !ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey + product, u"UninstallString").IsEmpty();
}

}  // namespace

TEST(ContainerRealInstall, InstallsTheFittingBuildOrThe32BitOneWhenTold) {
  TestFolder folder;
  const WideString probe32 = folder / u"probe32.txt";
  const WideString probe64 = folder / u"probe64.txt";
  const WideString app32 = PackSetup(folder, u"app32.exe", Product("Plove Box 32", probe32));
  const WideString app64 = PackSetup(folder, u"app64.exe", Product("Plove Box 64", probe64));
  const std::string bytes32 = FileBytes(app32);
  const std::string bytes64 = FileBytes(app64);
  const WideString container = PackSetup(
      folder, u"container.exe",
      ContainerPayload("[InstallContainer]\r\n", {{"App.exe", std::vector<uint8_t>(bytes32.begin(), bytes32.end())},
                                                  {"App__PLI_WIN64.exe",
                                                   std::vector<uint8_t>(bytes64.begin(), bytes64.end())}}));

  {
    ContainerProcess run(container, u"--silent");
    EXPECT_EQ(run.Process().Wait(180000), 0u);
    EXPECT_TRUE(run.Process().Messages().empty());
    EXPECT_EQ(run.Process().Leftovers(), std::vector<WideString>());
  }
  EXPECT_TRUE(Installed(u"Plove Box 64"));
  EXPECT_FALSE(Installed(u"Plove Box 32"));
  EXPECT_TRUE(FileExists(u"C:\\Plove Box 64\\app.txt"));
  // The elevated copy of the inner installer carries the container's
  // parameters after its own.
  const WideString line64 = InstallingCommandLine(probe64);
  EXPECT_TRUE(line64.EndsWith(u" --silent --noautoreboot --selfrun")) << line64;
  EXPECT_EQ(line64.Find(u"--force32bit"), 0) << line64;

  {
    ContainerProcess run(container, u"--silent --force32bit");
    EXPECT_EQ(run.Process().Wait(180000), 0u);
    EXPECT_TRUE(run.Process().Messages().empty());
  }
  EXPECT_TRUE(Installed(u"Plove Box 32"));
  EXPECT_TRUE(FileExists(u"C:\\Plove Box 32\\app.txt"));
  const WideString line32 = InstallingCommandLine(probe32);
  EXPECT_TRUE(line32.EndsWith(u" --force32bit --silent --noautoreboot --selfrun")) << line32;
  // Both products stand side by side, each with its own entry.
  EXPECT_TRUE(Installed(u"Plove Box 64"));
  EXPECT_EQ(ExtractedCopies(), std::vector<WideString>());
}
