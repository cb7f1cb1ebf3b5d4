#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/file_placement.h"
#include "payload/win/decode_ahead.h"
#include "payload/win/destination_files.h"
#include "payload_builder.h"
#include "placement_test_support.h"
#include "scripted_messages.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"

using W = WideString;

namespace {

class FilePlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    DllRegistrationList().Clear();
    version1_ = FixtureBytes(u"plv_version1.dll");
    version2_ = FixtureBytes(u"plv_version2.dll");
    ASSERT_FALSE(version1_.empty());
    ASSERT_FALSE(version2_.empty());
  }
  void TearDown() override {
    DllRegistrationList().Clear();
    ResetInstallState();
  }
  std::string Contents(const W& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
  }

  TestFolder folder_;
  std::string version1_;
  std::string version2_;
};

}  // namespace

TEST_F(FilePlacement, ReadsFixedFileVersions) {
  const FileVersion one = ReadFileVersion(FixturePath(u"plv_version1.dll"));
  EXPECT_EQ(one.ms, 0x00010000u);
  EXPECT_EQ(one.ls, 0u);
  EXPECT_TRUE(ReadFileVersion(FixturePath(u"plv_version2.dll")) > one);
  EXPECT_TRUE(ReadFileVersion(folder_ / u"missing.dll").IsNone());
  ASSERT_TRUE(WriteWholeFile(folder_ / u"text.txt", "no resources"));
  EXPECT_TRUE(ReadFileVersion(folder_ / u"text.txt").IsNone());
  // Through a handle, from the version resource, as Windows reads it.
  for (const W& path : {FixturePath(u"plv_version1.dll"), FixturePath(u"plv_version2.dll"), folder_ / u"text.txt"}) {
    SCOPED_TRACE(path.ToUtf8());
    ScopedFileHandle file(CreateFileW(path.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    const FileVersion byHandle = ReadFileVersionThroughHandle(file.Get());
    const FileVersion byName = ReadFileVersion(path);
    EXPECT_EQ(byHandle.ms, byName.ms);
    EXPECT_EQ(byHandle.ls, byName.ls);
  }
}

// The temporary file a member is decoded into is held by the handle that
// made it: nobody can write, rename or delete it by its name, and what
// placing renames into place is that file.
TEST_F(FilePlacement, DecodedMemberIsHeldUntilPlaced) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"new.dll", version2_}});
  ASSERT_TRUE(payload.Ready());
  ASSERT_TRUE(WriteWholeFile(folder_ / u"app.dll", version1_.data(), version1_.size()));
  MemberEntries entries;
  ASSERT_TRUE(PublishedPayload()->Archive().CollectEntries(W(u"new.dll"), entries));
  PreparedMember member;
  DecodeIntoFolder(entries, folder_.Path(), nullptr, nullptr, member);
  ASSERT_TRUE(member.Ready());
  ASSERT_TRUE(member.handle);
  EXPECT_FALSE(ScopedFileHandle(CreateFileW(member.file.W(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr)));
  EXPECT_FALSE(MoveFileExW(member.file.W(), (folder_ / u"swapped.tmp").W(), 0));
  EXPECT_FALSE(DeleteFileW(member.file.W()));
  EXPECT_FALSE(PlacePreparedFile(member, folder_ / u"app.dll", nullptr));
  EXPECT_TRUE(member.fileMoved);
  DeletePreparedFile(member);  // the placed file stays
  EXPECT_TRUE(Contents(folder_ / u"app.dll") == version2_);
  EXPECT_EQ(GetFileAttributesW((folder_ / u"app.dll").W()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_TRUE(NamesIn(folder_.Path(), W(u"~PLI*"), false).empty());
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(FilePlacement, VersionRuleBothWaysAndEqualVersionsCopied) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"old.dll", version1_}, {"new.dll", version2_}});
  ASSERT_TRUE(payload.Ready());
  State().InstallTo = folder_.Path();

  // Higher version in place: kept, still queued for registration.
  ASSERT_TRUE(WriteWholeFile(folder_ / u"kept.dll", version2_.data(), version2_.size()));
  EXPECT_FALSE(PlaceFile(W(u"old.dll"), W(u"<Destination>\\kept.dll"), nullptr));
  EXPECT_EQ(Contents(folder_ / u"kept.dll"), version2_);

  // Lower version in place: replaced.
  ASSERT_TRUE(WriteWholeFile(folder_ / u"upgraded.dll", version1_.data(), version1_.size()));
  EXPECT_FALSE(PlaceFile(W(u"NEW.DLL"), W(u"<Destination>\\upgraded.dll"), nullptr));
  EXPECT_EQ(Contents(folder_ / u"upgraded.dll"), version2_);

  // Equal version: copied again (the trailing byte goes).
  const std::string sameVersion = version1_ + "x";
  ASSERT_TRUE(WriteWholeFile(folder_ / u"same.dll", sameVersion.data(), sameVersion.size()));
  EXPECT_FALSE(PlaceFile(W(u"old.dll"), W(u"<Destination>\\same.dll"), nullptr));
  EXPECT_EQ(Contents(folder_ / u"same.dll"), version1_);

  EXPECT_EQ(messages.Count(), 0);
  ASSERT_EQ(DllRegistrationList().Count(), 3);
  EXPECT_EQ(DllRegistrationList().Item(0), folder_ / u"kept.dll");
  EXPECT_EQ(DllRegistrationList().Item(2), folder_ / u"same.dll");
  EXPECT_FALSE(State().RebootRequired);
}

TEST_F(FilePlacement, VersionRuleHoldsForLongDestinations) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"old.dll", version1_}, {"new.dll", version2_}});
  ASSERT_TRUE(payload.Ready());
  // Folders deep enough for destinations of 260 characters or more. Windows
  // refuses such paths in their plain form; Wine takes them, but still reads
  // the plain form differently: it drops a folder name's final dot, while
  // the "\\?\" form takes every name as it stands. So the last folder here
  // is reached only through the form the copy uses, and a version read
  // through any other form finds no file.
  W deep = folder_.Path();
  while (deep.Length() < 270) deep += u"a-rather-long-folder-name-for-the-test\\";
  deep += u"dotted.\\";
  ASSERT_TRUE(CreateFolderTree(deep));
  const W kept = deep + u"kept.dll";
  const W upgraded = deep + u"upgraded.dll";
  ASSERT_TRUE(WriteWholeFile(LongPathForm(kept, MAX_PATH), version2_.data(), version2_.size()));
  ASSERT_TRUE(WriteWholeFile(LongPathForm(upgraded, MAX_PATH), version1_.data(), version1_.size()));

  EXPECT_FALSE(PlaceFile(W(u"old.dll"), kept, nullptr));
  EXPECT_FALSE(PlaceFile(W(u"new.dll"), upgraded, nullptr));
  EXPECT_TRUE(Contents(LongPathForm(kept, MAX_PATH)) == version2_) << "the newer version is kept";
  EXPECT_TRUE(Contents(LongPathForm(upgraded, MAX_PATH)) == version2_) << "the older one is replaced";
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(FilePlacement, ReadOnlyTargetAndMissingFoldersAndQueueRule) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"readme.txt", "new text"}, {"ctl.ocx", "ocx bytes"}, {"app.exe", "MZ"}});
  ASSERT_TRUE(payload.Ready());
  const W readOnly = folder_ / u"readme.txt";
  ASSERT_TRUE(WriteWholeFile(readOnly, "old text"));
  ASSERT_TRUE(SetFileAttributesW(readOnly.W(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(PlaceFile(W(u"readme.txt"), readOnly, nullptr));
  EXPECT_EQ(Contents(readOnly), "new text");

  const W deep = folder_ / u"a\\b\\c\\CTL.OCX";
  EXPECT_FALSE(PlaceFile(W(u"ctl.ocx"), deep, nullptr));
  EXPECT_EQ(Contents(deep), "ocx bytes");
  EXPECT_FALSE(PlaceFile(W(u"app.exe"), folder_ / u"app.exe", nullptr));

  EXPECT_EQ(messages.Count(), 0);
  ASSERT_EQ(DllRegistrationList().Count(), 1);  // .txt and .exe are not queued
  EXPECT_EQ(DllRegistrationList().Item(0), deep);
}

TEST_F(FilePlacement, MissingMemberCancelsWithMessage) {
  ScriptedMessages messages;
  PublishedTestPayload payload;
  State().InstallerTitle = W(u"Tool Installer");
  EXPECT_TRUE(PlaceFile(W(u"absent.dll"), folder_ / u"absent.dll", nullptr));
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text,
            W(u"Unable to extract a file from install, possibly your security software is blocking the install."));
  EXPECT_EQ(messages.Last().caption, W(u"Tool Installer"));
  EXPECT_EQ(messages.Last().flags, UINT(MB_OK | MB_ICONERROR));
  EXPECT_FALSE(PathExists(folder_ / u"absent.dll"));
  EXPECT_EQ(DllRegistrationList().Count(), 0);
}

TEST_F(FilePlacement, CopyFailureAsksRetryCancel) {
  ScriptedMessages messages(IDCANCEL);
  messages.Answer(IDRETRY);
  PublishedTestPayload payload(PayloadMembers{{"x.dll", "bytes"}});
  // A folder where the file should go: the copy fails for another reason
  // than a file in use.
  const W blocked = folder_ / u"x.dll";
  ASSERT_TRUE(CreateFolderTree(blocked));
  EXPECT_TRUE(PlaceFile(W(u"x.dll"), blocked, nullptr));
  ASSERT_EQ(messages.Count(), 2);  // Retry, then Cancel
  for (const RecordedMessage& m : messages.Messages()) {
    EXPECT_EQ(m.text, W::Format(u"Cannot install '%s', disk may be full.", blocked));
    EXPECT_EQ(m.flags, UINT(MB_RETRYCANCEL | MB_ICONERROR | MB_DEFBUTTON2));
  }
  EXPECT_EQ(DllRegistrationList().Count(), 0);  // cancelled: nothing queued
}

TEST_F(FilePlacement, FileInUseWithSameVersionIsLeftAlone) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"lib.dll", version1_}});
  const W target = folder_ / u"lib.dll";
  const std::string inPlace = version1_ + "y";
  ASSERT_TRUE(WriteWholeFile(target, inPlace.data(), inPlace.size()));
  {
    // In use as a loaded DLL is: readable (its version too), not writable.
    ScopedFileHandle held(
        CreateFileW(target.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(PlaceFile(W(u"lib.dll"), target, nullptr));
  }
  EXPECT_EQ(Contents(target), inPlace);
  EXPECT_FALSE(PathExists(target + u"-PLITMP"));
  EXPECT_FALSE(State().RebootRequired);
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_EQ(DllRegistrationList().Count(), 1);
}

TEST_F(FilePlacement, VariantsFollowIs64BitWindows) {
  StringList targets;
  for (const WChar* line : {u"<Destination>\\prog.exe", u"<Destination>\\prog__PLI_UNICODE.exe",
                            u"<Destination>\\prog__PLI_WIN64.exe"}) {
    targets.Add(W(line));
  }
  auto accepted = [&](bool is64) {
    State().Is64BitWindows = is64;
    W result;
    for (int i = 0; i < targets.Count(); ++i) {
      W destination = targets.Item(i);
      if (AcceptVariant(destination, targets)) result += W::Format(u"%d:%s;", i, destination);
    }
    return result;
  };
  EXPECT_EQ(accepted(true), W(u"2:<Destination>\\prog.exe;"));
  EXPECT_EQ(accepted(false), W(u"1:<Destination>\\prog.exe;"));
}

TEST_F(FilePlacement, AppPathsForProgramsOnly) {
  State().InstallTo = W(u"C:\\Apps\\Tool");
  const W key(u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Tool.EXE");
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, W(u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"),
                     W(u"Tool.EXE"));
  RegisterAppPath(W(u"<Destination>\\bin\\Tool.EXE"));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, key, W()), W(u"C:\\Apps\\Tool\\bin\\Tool.EXE"));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, key, W(u"Path")), W(u"C:\\Apps\\Tool\\bin\\"));

  const W other(u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\helper.dll");
  RegisterAppPath(W(u"<Destination>\\helper.dll"));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, other, W()), W());
}

TEST_F(FilePlacement, MembersDecodedAheadAreRenamedIntoPlace) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{
      {"old.dll", version1_}, {"new.dll", version2_}, {"notes.txt", "MZ but no image"}, {"busy.bin", "MZ busy"}});
  ASSERT_TRUE(payload.Ready());
  State().InstallTo = folder_.Path();
  ASSERT_TRUE(WriteWholeFile(folder_ / u"kept.dll", version2_.data(), version2_.size()));
  ASSERT_TRUE(WriteWholeFile(folder_ / u"upgraded.dll", version1_.data(), version1_.size()));
  ASSERT_TRUE(WriteWholeFile(folder_ / u"notes.txt", "older notes"));
  SetFileAttributesW((folder_ / u"notes.txt").W(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(WriteWholeFile(folder_ / u"busy.bin", "in use"));

  struct Case {
    const WChar* member;
    const WChar* destination;
    std::string expected;  // what the destination holds afterwards
    bool moved;            // the temporary file was renamed (into place or to the staged name)
  };
  // Members that may carry a version are decoded into files beside their
  // destinations (the others would be held in memory).
  const Case cases[] = {
      {u"old.dll", u"<Destination>kept.dll", version2_, false},  // a higher version in place is kept
      {u"new.dll", u"<Destination>upgraded.dll", version2_, true},
      // Read-only and hidden, replaced; like an image but none: no version.
      {u"notes.txt", u"<Destination>notes.txt", "MZ but no image", true},
      {u"new.dll", u"<Destination>sub\\fresh.dll", version2_, true},  // its folder made ahead
      {u"busy.bin", u"<Destination>busy.bin", "in use", true},        // staged for the restart
  };
  DecodeAhead ahead(PublishedPayload()->Archive(), nullptr);
  std::vector<PlannedMember> plan;
  for (const Case& c : cases) {
    W destination(c.destination);
    destination.Replace(W(u"<Destination>"), folder_.Path(), false);
    plan.push_back(PlannedMember{W(c.member), ParentFolder(destination)});
  }
  ahead.Start(plan, 2);
  ScopedFileHandle held(CreateFileW((folder_ / u"busy.bin").W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  for (const Case& c : cases) {
    SCOPED_TRACE(W(c.destination).ToUtf8());
    PreparedMember member;
    ASSERT_EQ(ahead.TakeMember(W(c.member), member), TakeResult::Taken);
    EXPECT_FALSE(member.inMemory);
    EXPECT_FALSE(PlacePreparedFile(member, W(c.destination), nullptr));
    EXPECT_EQ(member.fileMoved, c.moved);
    ahead.HandBack(member);
  }
  held.Reset();
  ahead.Stop();
  for (const Case& c : cases) {
    W path(c.destination);
    path.Replace(W(u"<Destination>"), folder_.Path(), false);
    EXPECT_TRUE(Contents(path) == c.expected) << path;
    EXPECT_FALSE(GetFileAttributesW(path.W()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY)) << path;
  }
  EXPECT_EQ(Contents(folder_ / u"busy.bin-PLITMP"), "MZ busy");
  EXPECT_FALSE(GetFileAttributesW((folder_ / u"busy.bin-PLITMP").W()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(State().RebootRequired);
  // Every temporary file went: renamed, or deleted when handed back.
  EXPECT_TRUE(NamesIn(folder_.Path(), W(u"~PLI*"), false).empty());
  EXPECT_TRUE(NamesIn(folder_ / u"sub\\", W(u"~PLI*"), false).empty());
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_EQ(DllRegistrationList().Count(), 3);
}

// A member decoded into the temporary folder (none could be made beside
// its destination) is copied into place: the copy is not hidden as its
// temporary file is, new or over an old file.
TEST_F(FilePlacement, MemberFromTheTemporaryFolderIsNotHidden) {
  ScriptedMessages messages;
  ASSERT_TRUE(WriteWholeFile(folder_ / u"over.txt", "old"));
  for (const WChar* name : {u"new.txt", u"over.txt"}) {
    SCOPED_TRACE(W(name).ToUtf8());
    PreparedMember member;
    ASSERT_TRUE(MakeDestinationTemp(W(), member.file, member.handle));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(member.handle.Get(), "decoded", 7, &written, nullptr));
    member.fileMade = true;
    member.report.extracted = true;
    const W target = folder_ / name;
    EXPECT_FALSE(PlacePreparedFile(member, target, nullptr));
    EXPECT_FALSE(member.fileMoved);
    EXPECT_EQ(Contents(target), "decoded");
    EXPECT_EQ(GetFileAttributesW(target.W()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    const W made = member.file;
    DeletePreparedFile(member);
    EXPECT_FALSE(PathExists(made));
  }
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(FilePlacement, MembersHeldInMemoryArePlacedLikeFiles) {
  ScriptedMessages messages(IDCANCEL);
  PublishedTestPayload payload(PayloadMembers{{"a.txt", "fresh a"}, {"b.txt", "fresh b"}});
  ASSERT_TRUE(payload.Ready());
  const W hidden = folder_ / u"hidden.txt";
  ASSERT_TRUE(WriteWholeFile(hidden, "older"));
  ASSERT_TRUE(SetFileAttributesW(hidden.W(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  const W busy = folder_ / u"busy.txt";
  ASSERT_TRUE(WriteWholeFile(busy, "in use"));
  const W blocked = folder_ / u"blocked.txt";
  ASSERT_TRUE(CreateFolderTree(blocked));  // a folder where the file should go

  struct Case {
    const WChar* member;
    W destination;
    bool cancelled;
    const char* expected;  // what the destination holds afterwards; null: nothing
  };
  const Case cases[] = {
      {u"a.txt", folder_ / u"new\\deeper\\a.txt", false, "fresh a"},
      {u"b.txt", hidden, false, "fresh b"},
      {u"a.txt", busy, false, nullptr},  // in use: staged for the restart
      {u"b.txt", blocked, true, nullptr},  // Retry/Cancel, answered Cancel
  };
  DecodeAhead ahead(PublishedPayload()->Archive(), nullptr);
  ahead.Start({{u"a.txt", folder_ / u"new\\deeper\\"}, {u"b.txt", folder_.Path()}, {u"a.txt", folder_.Path()},
               {u"b.txt", folder_.Path()}},
              2);
  ScopedFileHandle held(CreateFileW(busy.W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.destination.ToUtf8());
    PreparedMember member;
    ASSERT_EQ(ahead.TakeMember(W(c.member), member), TakeResult::Taken);
    EXPECT_TRUE(member.inMemory);
    EXPECT_EQ(PlacePreparedFile(member, c.destination, nullptr), c.cancelled);
    if (c.expected != nullptr) {
      EXPECT_EQ(Contents(c.destination), c.expected);
    }
  }
  held.Reset();
  ahead.Stop();
  EXPECT_EQ(Contents(busy), "in use");
  EXPECT_EQ(Contents(busy + u"-PLITMP"), "fresh a");
  EXPECT_TRUE(State().RebootRequired);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, W::Format(u"Cannot install '%s', disk may be full.", blocked));
}

TEST_F(FilePlacement, DecodeFailuresNameTheDestination) {
  // Decoded ahead into memory or into a file, whichever the budget allowed:
  // the message names where the member was going.
  ScriptedMessages messages;
  const std::string content = PseudoText(4, 30000, 16);
  PackedMember cut = QuickMember("cut.bin", content);
  cut.packed.resize(cut.packed.size() - 20);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(WriteArchive({QuickMember("setup.dat", ""), cut}, bytes), ArchiveWriteStatus::Ok);
  PayloadArchive archive;
  archive.OpenFromMemory(bytes.data(), bytes.size());
  const W target = folder_ / u"cut.bin";
  for (uint64_t memory : {uint64_t(0), uint64_t(16) << 20}) {
    SCOPED_TRACE(memory);
    messages.Clear();
    DecodeAhead ahead(archive, nullptr, DecodeWindowLimits{1024, 128u << 20, memory});
    ahead.Start({{u"cut.bin", folder_.Path()}}, 1);
    PreparedMember member;
    ASSERT_EQ(ahead.TakeMember(W(u"cut.bin"), member), TakeResult::Taken);
    EXPECT_TRUE(PlacePreparedFile(member, target, nullptr));
    ASSERT_EQ(messages.Count(), 2);
    EXPECT_EQ(messages.Messages()[0].text,
              u"Error whilst uncompressing '" + target + u"', unable to read '" + archive.SourcePath() + u"'");
  }
}
