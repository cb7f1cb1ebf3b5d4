// The install worker with members decoded ahead of it: what the user sees
// and what ends up on disk stay in script order.
#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/install_worker.h"
#include "payload/archive_format.h"
#include "payload_builder.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/file_system.h"
#include "util/win/message_door.h"
#include "util/win/process_paths.h"
#include "worker_test_support.h"

namespace {

std::string Filler(int seed, size_t size) { return PseudoText(seed, size, 8); }

// Puts an archive of the members in place of the test install's payload;
// bytes must outlive the install.
void UsePayload(const std::vector<PackedMember>& members, std::vector<uint8_t>& bytes) {
  ASSERT_EQ(WriteArchive(members, bytes), ArchiveWriteStatus::Ok);
  PayloadContext* payload = PublishedPayload();
  bool failed = true;
  payload->OpenFromMemory(bytes.data(), bytes.size(), &failed);  // unpublishes it
  PublishPayload(payload);
  ASSERT_FALSE(failed);
}

}  // namespace

TEST(DecodeAheadWorker, DecodeFailureIsShownWhenItsTurnComes) {
  // The damaged member is decoded long before the worker gets to it; its
  // message still comes after the message before it in the script.
  const std::string script = ScriptOf({
      "[CopyFile]", "a.txt", "<Destination>a.txt",
      "[Message]", "Before", "Information",
      "[CopyFile]", "bad.bin", "<Destination>bad.bin",
      "[CopyFile]", "c.txt", "<Destination>c.txt",
  });
  TestInstall install(u"Plove Ahead", u"C:\\Plove Ahead\\", {{"setup.dat", ""}});
  // Cut short with its sums right: found, then refused by the decoder.
  PackedMember bad = QuickMember("bad.bin", Filler(1, 40000));
  bad.packed.resize(bad.packed.size() - 20);
  std::vector<uint8_t> bytes;
  UsePayload({QuickMember("setup.dat", script), QuickMember("a.txt", "alpha"), bad, QuickMember("c.txt", "c")}, bytes);
  TestFolder folder;
  TempInFolder temp(folder / u"temp\\");
  ScriptedMessages messages(IDOK);
  install.Run();

  std::vector<RecordedMessage> shown = messages.Messages();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text, WideString(u"Before"));
  // Decoded in memory, it never had a file of its own: the message names
  // where it was going.
  EXPECT_EQ(shown[1].text,
            u"Error whilst uncompressing 'C:\\Plove Ahead\\bad.bin', unable to read '" + ModulePath() + u"'");
  EXPECT_EQ(shown[2].text, WideString(u"Unable to extract a file from install, possibly your security software is "
                                      u"blocking the install."));
  // The failure undid what the run had placed.
  EXPECT_FALSE(Exists(u"C:\\Plove Ahead\\a.txt"));
  EXPECT_FALSE(Exists(u"C:\\Plove Ahead\\bad.bin"));
  EXPECT_FALSE(Exists(u"C:\\Plove Ahead\\c.txt"));
  EXPECT_EQ(LastOutcome(), InstallOutcome::Failed);
  // c.txt was decoded ahead and never placed: its file went with the rest.
  EXPECT_EQ(temp.Files(), 0);
  DeleteFolderTree(u"C:\\Plove Ahead");
}

TEST(DecodeAheadWorker, CancelStopsTheDecodingAndLeavesNothingBehind) {
  std::vector<std::string> lines{"[CopyFile]", "first.bin", "<Destination>first.bin",
                                 "[Message]",  "Cancel now", "Information"};
  std::vector<PackedMember> members{QuickMember("first.bin", "first")};
  for (int i = 0; i < 12; ++i) {
    const std::string name = "big" + std::to_string(i) + ".bin";
    // Half of them in a folder that is made ahead of the worker.
    lines.insert(lines.end(), {"[CopyFile]", name, std::string(i % 2 ? "<Destination>later\\" : "<Destination>") + name});
    members.push_back(QuickMember(name, Filler(i, 2u << 20)));
  }
  members.insert(members.begin(), QuickMember("setup.dat", ScriptOf(lines)));
  TestInstall install(u"Plove Cancel", u"C:\\Plove Cancel\\", {{"setup.dat", ""}});
  std::vector<uint8_t> bytes;
  UsePayload(members, bytes);
  TestFolder folder;
  TempInFolder temp(folder / u"temp\\");
  // The wizard's Cancel pressed while the message is up, once the decoders
  // have made the folder of the later members.
  SetMessageResponder(
      [](void*, HWND, const WideString&, const WideString&, UINT) {
        for (int i = 0; i < 200 && !Exists(u"C:\\Plove Cancel\\later"); ++i) Sleep(25);
        State().InstallFailed = true;
        return IDOK;
      },
      nullptr);
  install.Run();
  SetMessageResponder(nullptr, nullptr);

  EXPECT_FALSE(Exists(u"C:\\Plove Cancel\\big0.bin"));
  EXPECT_EQ(LastOutcome(), InstallOutcome::Cancelled);
  // The members decoded ahead beside their destinations left no file, the
  // folders made for them none either, and the cancel undid first.bin.
  EXPECT_FALSE(Exists(u"C:\\Plove Cancel"));
  EXPECT_EQ(temp.Files(), 0);
  DeleteFolderTree(u"C:\\Plove Cancel");
}

TEST(DecodeAheadWorker, AValueLineThatReadsAsCopyFileStillPlacesEverything) {
  // Counting "[CopyFile]" lines, the first pass takes the message text for
  // a directive and plans a member "Information" that the second pass never
  // asks for, and misses c.txt, which it then asks for: extracted directly.
  const std::string script = ScriptOf({
      "[CopyFile]", "a.txt", "<Destination>a.txt",
      "[Message]", "[CopyFile]", "Information",
      "[CopyFile]", "c.txt", "<Destination>c.txt",
      "[CopyFile]", "d.txt", "<Destination>d.txt",
  });
  TestFolder folder;
  TempInFolder temp(folder / u"temp\\");
  TestInstall install(u"Plove Lines", u"C:\\Plove Lines\\",
                      {{"setup.dat", script}, {"a.txt", "a"}, {"c.txt", "c"}, {"d.txt", "d"}});
  ScriptedMessages messages(IDOK);
  install.Run();
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, WideString(u"[CopyFile]"));
  for (const char* name : {"a", "c", "d"}) {
    EXPECT_EQ(FileText(WideString(u"C:\\Plove Lines\\") + WideString::FromUtf8(name) + u".txt"), name);
  }
  EXPECT_EQ(LastOutcome(), InstallOutcome::Completed);
  DeleteFolderTree(u"C:\\Plove Lines");
}
