#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe/import_table.h"

TEST(ImportTable, KnownDllNames) {
  for (const char* known : {"KERNEL32.dll", "user32", "Ole32.DLL", "msvcrt.dll", "ntdll.dll"})
    EXPECT_TRUE(IsKnownDll(known)) << known;
  // Looked for beside the program first: the names a planted DLL takes.
  for (const char* searched : {"VERSION.dll", "MSIMG32.dll", "COMCTL32.dll", "uxtheme.dll", "dwmapi.dll",
                               "bcrypt.dll", "kernel32.dll.dll", ""})
    EXPECT_FALSE(IsKnownDll(searched)) << searched;
}

// The installer programs themselves, as the Windows trees beside this one
// built them: every DLL they import at load time comes from System32.
TEST(ImportTable, StubsImportOnlyKnownDlls) {
  int checked = 0;
  for (const char* path : {PLOVE_STUB_X86, PLOVE_STUB_X64}) {
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const MemorySource source(bytes.data(), bytes.size());
    std::vector<std::string> searched;
    ASSERT_TRUE(DllsLoadedBySearch(source, &searched)) << path;
    std::string list;
    for (const std::string& name : searched) list += name + " ";
    EXPECT_TRUE(searched.empty()) << path << " imports " << list;
    PeHeaders headers;
    std::vector<std::string> all;
    ASSERT_EQ(ReadPeHeaders(source, &headers), PeStatus::Ok);
    ASSERT_EQ(ReadImportedDlls(source, headers, &all), PeStatus::Ok);
    EXPECT_GE(all.size(), 3u) << path;  // kernel32, user32, gdi32 at least
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no Windows tree built beside this one";
}
