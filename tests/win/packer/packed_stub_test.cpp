// The packer's output as Windows sees it: the installer stub packed by the
// portable packer (compiled into this test) is loaded as a data file and its
// members extracted; the same archive embedded by Windows' own resource
// update calls gives the same members; the checksum matches what imagehlp
// computes; the packed stub installs with "--silent" without showing
// anything, and leaves the uninstaller the packer laid out (signed or not),
// which removes the product.

#include <gtest/gtest.h>

#include <imagehlp.h>
#include <shellapi.h>
#include <winver.h>

#include <random>

#include "engine/win/uninstaller_image.h"
#include "packer/pack_installer.h"
#include "packer/stub_methods.h"
#include "pe/installer_image.h"
#include "pe/pe_headers.h"
#include "payload/win/payload_archive.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"
#include "machine_code.h"

namespace {

WideString HostPath(const char* unixPath) {
  WideString path = WideString::FromUtf8((std::string("Z:") + unixPath).c_str());
  path.Replace(u"/", u"\\", false);
  return path;
}

WideString StubPath() { return HostPath(PLOVE_STUB_PATH); }

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<PackSource> Members() {
  std::vector<PackSource> members;
  members.push_back({"setup.dat", Bytes("[Project Name]\r\nPacked\r\n[Install To]\r\n<Program Files>Packed\\\r\n"
                                        "[CopyFile]\r\ndata.bin\r\n<Destination>data.bin\r\n"
                                        "[CopyFile]\r\ntool.bin\r\n<Destination>tool.bin\r\n"
                                        "[CopyFile]\r\nnotes.txt\r\n<Destination>notes.txt\r\n")});
  members.push_back({"setup.lic", Bytes("licence\r\n")});
  PackSource data{"data.bin", std::vector<uint8_t>(300000)};
  std::mt19937 random(3);
  for (size_t i = 0; i < data.data.size(); ++i) data.data[i] = uint8_t(i % 7 == 0 ? random() : i);
  members.push_back(std::move(data));
  members.push_back(PackSource{"tool.bin", MachineCode(300000, 3)});
  // Small text: it shares a solid block with the script.
  std::string notes;
  for (int i = 0; notes.size() < 5000; ++i) notes += "note " + std::to_string(i % 37) + " of the packed stub\r\n";
  members.push_back({"notes.txt", Bytes(notes)});
  members.push_back({"Docs\\read me.txt", Bytes("read me\r\n")});
  return members;
}

PackSettings Settings() {
  PackSettings settings;
  settings.threads = 2;
  settings.lzma.x86Filter = true;  // the stub reads such members (checked below)
  settings.solidBlocks = true;
  return settings;
}

std::vector<uint8_t> ArchiveOf(const std::vector<PackSource>& sources) {
  std::vector<PackedMember> members;
  std::vector<std::vector<uint8_t>> blocks;
  std::string error;
  EXPECT_TRUE(CompressMembers(sources, Settings(), &members, &error, &blocks)) << error;
  for (const PackedMember& member : members) {
    if (member.name == "tool.bin") {
      EXPECT_EQ(MethodOf(member.packed.data(), member.packed.size()), MemberMethod::X86Lzma);
    }
    if (member.name == "notes.txt") {
      EXPECT_EQ(member.solidBlock, 0u);
    }
  }
  std::vector<uint8_t> archive;
  EXPECT_EQ(WriteArchive(members, archive, blocks), ArchiveWriteStatus::Ok);
  return archive;
}

bool WriteBytes(const WideString& path, const std::vector<uint8_t>& bytes) {
  return WriteWholeFile(path, bytes.data(), bytes.size());
}

// Loads path as a data file and checks its payload resource and members.
void ExpectPayload(const WideString& path, const std::vector<uint8_t>& archive, const TestFolder& folder) {
  ScopedHandle<ModuleTraits> owner(LoadLibraryExW(path.W(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(owner) << "error " << GetLastError();
  HMODULE module = owner.Get();
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(24356), MAKEINTRESOURCEW(10));
  ASSERT_NE(resource, nullptr);
  ASSERT_EQ(SizeofResource(module, resource), archive.size());
  const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  ASSERT_NE(bytes, nullptr);
  EXPECT_TRUE(std::equal(archive.begin(), archive.end(), bytes));
  // The stub's own resources are still there.
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr) << "manifest";

  ScriptedMessages messages(IDOK);
  PayloadArchive payload;
  payload.OpenFromModule(module);
  std::vector<PackSource> expected = Members();
  ASSERT_EQ(payload.Count(), int(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    WideString name = WideString::FromAnsi(expected[i].name.c_str());
    EXPECT_EQ(payload.NameAt(int(i)), name);
    WideString target = folder / WideString::Format(u"out%d.bin", int(i));
    ASSERT_TRUE(payload.ExtractTo(name, target)) << name;
    std::string content;
    ASSERT_TRUE(ReadWholeFile(target, content));
    EXPECT_EQ(Bytes(content), expected[i].data) << name;
  }
  payload.Close();
  EXPECT_TRUE(messages.Messages().empty());
}

struct RunResult {
  bool ended = false;
  DWORD exitCode = 0;
  bool dialogSeen = false;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
  auto* info = reinterpret_cast<std::pair<DWORD, bool>*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (process == info->first && IsWindowVisible(window) && WideString(className) == WideString(u"#32770")) {
    info->second = true;
  }
  return TRUE;
}

// Runs the program; a message box it shows keeps it from ending, so after
// the time limit any dialog it owns is noted and the process is ended.
RunResult RunProgram(const WideString& path, DWORD limitMs, const WideString& arguments = WideString()) {
  RunResult result;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  WideString commandLine = u"\"" + path + u"\" " + arguments;
  std::u16string buffer = commandLine.Str();
  if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&buffer[0]), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return result;
  }
  ScopedHandle<KernelHandleTraits> processOwner(process.hProcess), threadOwner(process.hThread);
  result.ended = WaitForSingleObject(process.hProcess, limitMs) == WAIT_OBJECT_0;
  if (!result.ended) {
    std::pair<DWORD, bool> info{process.dwProcessId, false};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&info));
    result.dialogSeen = info.second;
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 10000);
  }
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  return result;
}

// What Authenticode signing does to a file (the certificate table appended
// on an 8-byte boundary, the security directory entry, the checksum), with
// a table that is no real signature: Windows runs the file all the same.
std::vector<uint8_t> FakeSigned(std::vector<uint8_t> image, uint8_t seed) {
  MemorySource source(image.data(), image.size());
  PeHeaders h;
  EXPECT_EQ(ReadPeHeaders(source, &h), PeStatus::Ok);
  image.resize((image.size() + 7) & ~size_t(7), 0);
  std::vector<uint8_t> table(1200 + seed, seed);
  StoreU32(&table[0], uint32_t(table.size()));
  StoreU16(&table[4], 0x0200);
  StoreU16(&table[6], 2);
  StoreU32(&image[h.DirectoryEntryOffset(kDirectorySecurity)], uint32_t(image.size()));
  StoreU32(&image[h.DirectoryEntryOffset(kDirectorySecurity) + 4], uint32_t(table.size()));
  image.insert(image.end(), table.begin(), table.end());
  StoreU32(&image[h.CheckSumOffset()], ComputePeChecksum(image.data(), image.size(), h.CheckSumOffset()));
  return image;
}

WideString EntryValue(const WideString& product, const WChar* name) {
  return ReadRegistryString(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product,
                            WideString(name));
}

class PackedStub : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(StubPath(), bytes)) << StubPath();
    stub_ = Bytes(bytes);
    ASSERT_TRUE(MethodsOfStub(stub_.data(), stub_.size()).x86Lzma) << "the stub names the methods it reads";
    ASSERT_TRUE(MethodsOfStub(stub_.data(), stub_.size()).solid);
    archive_ = ArchiveOf(Members());
  }

  std::vector<uint8_t> Packed() {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(PackInstaller(stub_.data(), stub_.size(), Members(), Settings(), &out, &error)) << error;
    return out;
  }

  TestFolder folder_;
  std::vector<uint8_t> stub_;
  std::vector<uint8_t> archive_;
};

TEST_F(PackedStub, LoadsAsDataFileAndGivesBackEveryMember) {
  WideString path = folder_ / u"packed.exe";
  ASSERT_TRUE(WriteBytes(path, Packed()));
  ExpectPayload(path, archive_, folder_);
}

TEST_F(PackedStub, ChecksumMatchesImagehlp) {
  WideString path = folder_ / u"packed.exe";
  ASSERT_TRUE(WriteBytes(path, Packed()));
  DWORD stored = 0, computed = 0;
  ASSERT_EQ(MapFileAndCheckSumW(path.W(), &stored, &computed), DWORD(CHECKSUM_SUCCESS));
  EXPECT_EQ(stored, computed);
  EXPECT_NE(stored, 0u);
}

TEST_F(PackedStub, OldResourcesAreNotCarriedTwice) {
  std::vector<uint8_t> packed = Packed();
  MemorySource stubSource(stub_.data(), stub_.size()), packedSource(packed.data(), packed.size());
  PeHeaders before, after;
  ASSERT_EQ(ReadPeHeaders(stubSource, &before), PeStatus::Ok);
  ASSERT_EQ(ReadPeHeaders(packedSource, &after), PeStatus::Ok);
  EXPECT_EQ(after.sections.size(), before.sections.size());
  uint64_t added = after.Directory(kDirectoryResource).size - before.Directory(kDirectoryResource).size;
  // Besides the added resources (payload and uninstaller recipe): alignment
  // of the section ends, and up to a page of padding in front of the
  // payload's section, which starts on a page boundary of the file.
  EXPECT_LE(packed.size(), stub_.size() + added + 3 * after.fileAlignment + 4096);
}

TEST_F(PackedStub, WindowsResourceUpdateGivesTheSameMembersAndCanBeRepacked) {
  WideString path = folder_ / u"updated.exe";
  ASSERT_TRUE(WriteBytes(path, stub_));
  HANDLE update = BeginUpdateResourceW(path.W(), FALSE);
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(24356),
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), archive_.data(), DWORD(archive_.size())));
  ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
  ExpectPayload(path, archive_, folder_);

  // Our writer replaces the payload that Windows put there.
  std::string updated;
  ASSERT_TRUE(ReadWholeFile(path, updated));
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_TRUE(EmbedArchive(reinterpret_cast<const uint8_t*>(updated.data()), updated.size(), archive_, &out, &error))
      << error;
  WideString repacked = folder_ / u"repacked.exe";
  ASSERT_TRUE(WriteBytes(repacked, out));
  ExpectPayload(repacked, archive_, folder_);
}

TEST_F(PackedStub, InstallsSilentlyWithoutShowingAnything) {
  WideString path = folder_ / u"packed.exe";
  ASSERT_TRUE(WriteBytes(path, Packed()));
  RunResult result = RunProgram(path, 60000, u"--silent");
  EXPECT_TRUE(result.ended) << (result.dialogSeen ? "a message box was shown" : "it did not end");
  EXPECT_EQ(result.exitCode, 0u);
  // The installer's own decoder gave back the branch-filtered member and
  // the one from the solid block (the script came from there too).
  std::string placed;
  const WideString folder = PathExists(u"C:\\Program Files\\Packed") ? WideString(u"C:\\Program Files\\Packed")
                                                                         : WideString(u"C:\\Program Files (x86)\\Packed");
  ASSERT_TRUE(ReadWholeFile(folder + u"\\tool.bin", placed)) << folder;
  EXPECT_TRUE(Bytes(placed) == Members()[3].data);
  ASSERT_TRUE(ReadWholeFile(folder + u"\\notes.txt", placed)) << folder;
  EXPECT_TRUE(Bytes(placed) == Members()[4].data);
}

TEST_F(PackedStub, LeavesTheUninstallerThePackerLaidOutWhichRemovesTheProduct) {
  const std::string script =
      "[Project Name]\r\nSmall App\r\n[Install To]\r\n<Program Files>Small App\\\r\n"
      "[CopyFile]\r\ndata.bin\r\n<Destination>data.bin\r\n";
  const std::vector<uint8_t> archive = ArchiveOf({{"setup.dat", Bytes(script)}, Members()[2]});
  InstallerImage image;
  ASSERT_EQ(image.Prepare(stub_.data(), stub_.size(), kPayloadResourceId), PeStatus::Ok);
  const struct {
    const char* what;
    bool signUninstaller;
    bool signInstaller;
  } cases[] = {{"unsigned", false, false}, {"uninstaller signed", true, false}, {"both signed", true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> uninstaller = c.signUninstaller ? FakeSigned(image.Uninstaller(), 3) : image.Uninstaller();
    std::vector<uint8_t> installer;
    ASSERT_EQ(image.Finish(archive.data(), archive.size(), uninstaller, &installer), PeStatus::Ok);
    if (c.signInstaller) installer = FakeSigned(installer, 8);
    const WideString path = folder_ / u"small.exe";
    ASSERT_TRUE(WriteBytes(path, installer));
    RunResult run = RunProgram(path, 60000, u"--silent");
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.exitCode, 0u);

    const WideString copy = EntryValue(u"Small App", u"DisplayIcon");
    std::string written;
    ASSERT_TRUE(ReadWholeFile(copy, written)) << copy;
    EXPECT_EQ(Bytes(written), uninstaller) << "the uninstaller copy is the one the packer laid out";
    EXPECT_LT(written.size(), 1000000u);
    const WideString placed = EntryValue(u"Small App", u"InstallLocation") + u"data.bin";
    ASSERT_TRUE(PathExists(placed));

    // The entry's own command, as a package manager runs it.
    const WideString quiet = EntryValue(u"Small App", u"QuietUninstallString");
    const int close = quiet.FindChar(u'"', 2);
    ASSERT_GT(close, 0) << quiet;
    WideString arguments = quiet.From(close + 1);
    arguments.TrimLeadingSpaces();
    RunResult removal = RunProgram(quiet.Mid(2, close - 1), 60000, arguments);
    ASSERT_TRUE(removal.ended);
    EXPECT_EQ(removal.exitCode, 0u);
    EXPECT_FALSE(PathExists(placed));
    EXPECT_TRUE(EntryValue(u"Small App", u"UninstallString").IsEmpty());
  }
}

TEST_F(PackedStub, UninstallerIsMadeOnlyFromTheFileItsRecipeFits) {
  // The recipe of a packed installer, read from it as a data file: applied
  // to that installer's file it gives the uninstaller; applied to any other
  // file (another program put at the installer's path) it gives nothing,
  // and nothing is copied whole in its place.
  const WideString installer = folder_ / u"packed.exe";
  const std::vector<uint8_t> packed = Packed();
  ASSERT_TRUE(WriteBytes(installer, packed));
  const WideString stub = folder_ / u"stub.exe";
  ASSERT_TRUE(WriteBytes(stub, stub_));
  InstallerImage image;
  ASSERT_EQ(image.Prepare(stub_.data(), stub_.size(), kPayloadResourceId), PeStatus::Ok);
  ScopedHandle<ModuleTraits> owner(LoadLibraryExW(installer.W(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(owner);
  const struct {
    const char* what;
    HMODULE module;
    WideString program;
    bool made;
  } cases[] = {
      {"recipe applied", owner.Get(), installer, true},
      {"recipe of another file", owner.Get(), stub, false},
      {"no recipe", GetModuleHandleW(nullptr), installer, false},
  };
  for (const auto& c : cases) {
    ScopedFileHandle file(
        CreateFileW(c.program.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file) << c.what;
    std::vector<uint8_t> made;
    EXPECT_EQ(UninstallerImageOf(c.module, file.Get(), made), c.made) << c.what;
    EXPECT_EQ(made, c.made ? image.Uninstaller() : std::vector<uint8_t>()) << c.what;
  }
  std::vector<uint8_t> none;
  EXPECT_FALSE(UninstallerImageOf(owner.Get(), INVALID_HANDLE_VALUE, none));
}

TEST_F(PackedStub, ADamagedPayloadIsReportedByTheStub) {
  // The check above only means something if a message would be seen: a
  // damaged archive makes the stub show its corruption message.
  std::vector<uint8_t> packed = Packed();
  auto at = std::search(packed.begin(), packed.end(), archive_.begin(), archive_.begin() + 256);
  ASSERT_NE(at, packed.end());
  at[200] ^= 0x55;
  WideString path = folder_ / u"damaged.exe";
  ASSERT_TRUE(WriteBytes(path, packed));
  RunResult result = RunProgram(path, 15000);
  EXPECT_FALSE(result.ended);
  EXPECT_TRUE(result.dialogSeen);
}

TEST_F(PackedStub, WindowsPlovepackBuildsVerifiesAndExtracts) {
  // The Windows build of the command-line tool: its file and thread halves.
  WideString files = folder_ / u"files";
  ASSERT_TRUE(CreateFolderTree(files));
  std::vector<PackSource> members = Members();
  ASSERT_TRUE(WriteBytes(folder_ / u"setup.dat", members[0].data));
  ASSERT_TRUE(WriteBytes(folder_ / u"setup.lic", members[1].data));
  ASSERT_TRUE(WriteBytes(files + u"\\data.bin", members[2].data));
  ASSERT_TRUE(WriteBytes(files + u"\\tool.bin", members[3].data));
  ASSERT_TRUE(WriteBytes(files + u"\\notes.txt", members[4].data));
  ASSERT_TRUE(WriteBytes(folder_ / u"readme.txt", members[5].data));
  WideString tool = HostPath(PLOVE_PLOVEPACK_PATH);
  WideString setup = folder_ / u"setup.exe";
  WideString build = WideString::Format(
      u"build \"%s\" --files \"%s\" --stub \"%s\" -o \"%s\" --threads 2 --quiet --add \"Docs\\read me.txt=%s\"",
      folder_ / u"setup.dat", files, StubPath(), setup, folder_ / u"readme.txt");
  RunResult result = RunProgram(tool, 120000, build);
  ASSERT_TRUE(result.ended);
  ASSERT_EQ(result.exitCode, 0u);
  // The same payload as the library makes (the tool adds the product's
  // version block around it).
  ExpectPayload(setup, archive_, folder_);

  result = RunProgram(tool, 60000, u"verify \"" + setup + u"\"");
  EXPECT_EQ(result.exitCode, 0u);
  result = RunProgram(tool, 60000, WideString::Format(u"extract \"%s\" -o \"%s\"", setup, folder_ / u"out"));
  EXPECT_EQ(result.exitCode, 0u);
  std::string content;
  ASSERT_TRUE(ReadWholeFile(folder_ / u"out\\Docs\\read me.txt", content));
  EXPECT_EQ(Bytes(content), members[5].data);
  ASSERT_TRUE(ReadWholeFile(folder_ / u"out\\data.bin", content));
  EXPECT_EQ(Bytes(content), members[2].data);

  // The signing command runs through cmd.exe with the two paths quoted (the
  // output's name has a space, so theirs have too): copy leaves an unsigned
  // uninstaller (a warning only); a command that fails stops the build.
  const WideString copied = folder_ / u"copied setup.exe";
  result = RunProgram(tool, 120000, WideString::Format(u"build \"%s\" --files \"%s\" --stub \"%s\" -o \"%s\" --quiet "
                                                       u"--sign-command \"copy /b {in} {out}\"",
                                                       folder_ / u"setup.dat", files, StubPath(), copied));
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(PathExists(copied));
  const WideString refused = folder_ / u"refused setup.exe";
  result = RunProgram(tool, 120000, WideString::Format(u"build \"%s\" --files \"%s\" --stub \"%s\" -o \"%s\" --quiet "
                                                       u"--sign-command \"exit 3 {in}\"",
                                                       folder_ / u"setup.dat", files, StubPath(), refused));
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_FALSE(PathExists(refused));
  EXPECT_FALSE(PathExists(refused + u".uninstaller.exe"));

  // A missing member: exit status 1 and no output file.
  // (The folder is named without a closing backslash, which would quote
  // the quote after it.)
  WideString missing = folder_ / u"missing.exe";
  const WideString empty = folder_ / u"empty";
  ASSERT_TRUE(CreateFolderTree(empty));
  result = RunProgram(tool, 60000, WideString::Format(u"build \"%s\" --files \"%s\" --stub \"%s\" -o \"%s\" --quiet",
                                                      folder_ / u"setup.dat", empty, StubPath(), missing));
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_FALSE(PathExists(missing));
}

}  // namespace

namespace {

// An .ico file of 16x16 and 32x32 images, 32 bits, of one colour.
std::vector<uint8_t> IconFile(uint32_t bgra) {
  auto put16 = [](std::vector<uint8_t>& out, uint32_t v) { out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8)); };
  auto put32 = [&](std::vector<uint8_t>& out, uint32_t v) { put16(out, v & 0xFFFF), put16(out, v >> 16); };
  std::vector<std::vector<uint8_t>> images;
  for (uint32_t size : {16u, 32u}) {
    std::vector<uint8_t> image;
    for (uint32_t v : {40u, size, 2 * size}) put32(image, v);
    put16(image, 1), put16(image, 32);
    for (int i = 0; i < 6; ++i) put32(image, 0);
    for (uint32_t i = 0; i < size * size; ++i) put32(image, bgra);
    image.resize(image.size() + 4 * size, 0);  // the mask, all shown
    images.push_back(image);
  }
  std::vector<uint8_t> out;
  put16(out, 0), put16(out, 1), put16(out, uint32_t(images.size()));
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    const uint8_t size = i == 0 ? 16 : 32;
    out.insert(out.end(), {size, size, 0, 0});
    put16(out, 1), put16(out, 32), put32(out, uint32_t(images[i].size())), put32(out, offset);
    offset += uint32_t(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

WideString VersionText(const std::vector<uint8_t>& block, const WChar* key) {
  void* value = nullptr;
  UINT length = 0;
  const WideString path = WideString(u"\\StringFileInfo\\040904B0\\") + key;
  if (!VerQueryValueW(block.data(), path.W(), &value, &length) || value == nullptr) return WideString();
  return WideString(static_cast<const WChar*>(value));
}

}  // namespace

// What Windows reads from an installer built with the product's identity:
// the version block through GetFileVersionInfo, the icon through the shell.
TEST_F(PackedStub, VersionBlockAndIconAreTheProducts) {
  WideString files = folder_ / u"files";
  ASSERT_TRUE(CreateFolderTree(files));
  ASSERT_TRUE(WriteBytes(folder_ / u"setup.dat",
                         Bytes("[Project Name]\r\nPlove Identity\r\n[ProgramVersion]\r\n2.5.1\r\n"
                               "[UninstallSettings]\r\nPlove Publishing\r\n[Install To]\r\n<Program Files>Identity\\\r\n"
                               "[CopyFile]\r\ndata.bin\r\n<Destination>data.bin\r\n")));
  ASSERT_TRUE(WriteBytes(files + u"\\data.bin", Bytes("data")));
  ASSERT_TRUE(WriteBytes(folder_ / u"product.ico", IconFile(0xFF2040C0)));
  const WideString setup = folder_ / u"Identity Setup.exe";
  RunResult result = RunProgram(
      HostPath(PLOVE_PLOVEPACK_PATH), 120000,
      WideString::Format(u"build \"%s\" --files \"%s\" --stub \"%s\" -o \"%s\" --quiet --no-sign-warning "
                         u"--copyright \"(c) 2025 Plove Publishing\" --icon \"%s\"",
                         folder_ / u"setup.dat", files, StubPath(), setup, folder_ / u"product.ico"));
  ASSERT_TRUE(result.ended);
  ASSERT_EQ(result.exitCode, 0u);

  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(setup.W(), &handle);
  ASSERT_NE(size, 0u) << GetLastError();
  std::vector<uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(setup.W(), 0, size, block.data()));
  EXPECT_EQ(VersionText(block, u"ProductName"), WideString(u"Plove Identity"));
  EXPECT_EQ(VersionText(block, u"FileDescription"), WideString(u"Plove Identity Setup"));
  EXPECT_EQ(VersionText(block, u"CompanyName"), WideString(u"Plove Publishing"));
  EXPECT_EQ(VersionText(block, u"ProductVersion"), WideString(u"2.5.1"));
  EXPECT_EQ(VersionText(block, u"FileVersion"), WideString(u"2.5.1.0"));
  EXPECT_EQ(VersionText(block, u"LegalCopyright"), WideString(u"(c) 2025 Plove Publishing"));
  EXPECT_EQ(VersionText(block, u"OriginalFilename"), WideString(u"Identity Setup.exe"));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020005u);

  // The shell's icon of the file is the 32x32 image given, in its colour.
  HICON large = nullptr;
  ASSERT_EQ(ExtractIconExW(setup.W(), 0, &large, nullptr, 1), 1u);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(large, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 32);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = SelectObject(dc, canvas);
  DrawIconEx(dc, 0, 0, large, 32, 32, 0, nullptr, DI_NORMAL);
  const COLORREF pixel = GetPixel(dc, 16, 16);
  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(large);
  EXPECT_EQ(pixel, RGB(0x20, 0x40, 0xC0)) << std::hex << pixel;
}
