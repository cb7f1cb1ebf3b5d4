// Members decoded ahead of the worker: taken in plan order with their
// content, failures kept for the taker, the window bound, dropped members
// and stopping.
#include "payload/win/decode_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/install_state.h"
#include "payload_builder.h"
#include "payload_test_util.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/file_system.h"
#include "util/win/process_paths.h"
#include "util/win/temp_names.h"

namespace {

std::string Text(int seed, size_t size) { return PseudoText(seed, size, 16); }

// What a taken member holds, in memory or in its file (read through the
// handle that made it: nobody else may open it while that is held).
std::string Content(const PreparedMember& member) {
  if (member.inMemory) return std::string(member.bytes.begin(), member.bytes.end());
  EXPECT_TRUE(member.handle) << member.file;
  std::string bytes;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(member.handle.Get(), start, nullptr, FILE_BEGIN)) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(member.handle.Get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

// A plan that decodes into the temporary folder, where the tests count files.
std::vector<PlannedMember> InTemp(const std::vector<WideString>& names) {
  std::vector<PlannedMember> plan;
  for (const WideString& name : names) plan.push_back(PlannedMember{name, WideString()});
  return plan;
}

// Every member decoded into a temporary file.
const DecodeWindowLimits kFilesOnly{1024, uint64_t(128) << 20, 0};

// TMP points at a folder of the test, so that the temporary files of the
// decoding can be counted.
class DecodeAheadTest : public ::testing::Test {
 protected:
  void SetUp() override { State().InstallerTitle = WideString(u"Demo Installer"); }
  void TearDown() override { ResetInstallState(); }

  void Open(const std::vector<std::pair<std::string, std::string>>& members) {
    bytes_ = BuildTestPayload(members);
    archive_.OpenFromMemory(bytes_.data(), bytes_.size());
  }
  void Open(const std::vector<PackedMember>& members) {
    ASSERT_EQ(WriteArchive(members, bytes_), ArchiveWriteStatus::Ok);
    archive_.OpenFromMemory(bytes_.data(), bytes_.size());
  }

  TestFolder folder_;
  TempInFolder temp_{folder_ / u"temp\\"};
  ScriptedMessages messages_{IDOK};
  std::vector<uint8_t> bytes_;
  PayloadArchive archive_;
};

}  // namespace

TEST_F(DecodeAheadTest, MembersComeInPlanOrderWithTheirContent) {
  const std::string program = "MZ" + Text(4, 5000);
  Open({{"a.txt", Text(1, 70000)},
        {"dup.txt", "first"},
        {"b.txt", ""},
        {"DUP.TXT", "second"},
        {"c.txt", Text(3, 300000)},
        {"tool.exe", program}});
  struct Expected {
    const WChar* name;
    const char* content;  // null: not extracted
    std::string text;
    bool small;  // held in memory when memory is allowed
  };
  const Expected expected[] = {
      {u"c.txt", "", Text(3, 300000), true}, {u"a.txt", "", Text(1, 70000), true},
      {u"missing.txt", nullptr, "", true},   {u"dup.txt", "", "second", true},
      {u"b.txt", "", "", true},              {u"c.txt", "", Text(3, 300000), true},
      // A program's version is read from a file.
      {u"tool.exe", "", program, false},
  };
  struct Mode {
    const char* what;
    DecodeWindowLimits limits;
    bool memory;
  };
  // Over budget, c.txt goes to a file; everything else fits.
  const Mode modes[] = {{"files", kFilesOnly, false},
                        {"memory", DecodeWindowLimits{}, true},
                        {"small memory budget", DecodeWindowLimits{1024, 128u << 20, 100000}, true}};
  for (const Mode& mode : modes) {
    SCOPED_TRACE(mode.what);
    DecodeAhead ahead(archive_, nullptr, mode.limits);
    ahead.Start(InTemp({u"c.txt", u"a.txt", u"missing.txt", u"dup.txt", u"b.txt", u"c.txt", u"tool.exe"}), 2);
    EXPECT_EQ(ahead.ThreadCount(), 2);
    for (const Expected& e : expected) {
      SCOPED_TRACE(WideString(e.name).ToUtf8());
      PreparedMember member;
      ASSERT_EQ(ahead.TakeMember(WideString(e.name), member), TakeResult::Taken);
      const bool budgetAllows = mode.limits.memory >= e.text.size();
      EXPECT_EQ(member.inMemory, mode.memory && e.small && budgetAllows);
      EXPECT_EQ(member.Ready(), e.content != nullptr);
      EXPECT_TRUE(member.report.failures.empty());
      EXPECT_EQ(member.report.extracted, e.content != nullptr);
      if (e.content != nullptr) {
        EXPECT_TRUE(Content(member) == e.text);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(member.head), member.headSize), e.text.substr(0, 4));
      }
      EXPECT_EQ(member.sourcePath, ModulePath());
      // Handed back: deleted by a thread, or by Stop at the latest.
      ahead.HandBack(member);
      EXPECT_TRUE(member.file.IsEmpty());
    }
    // Everything planned is taken: any name now is extracted directly.
    PreparedMember none;
    EXPECT_EQ(ahead.TakeMember(WideString(u"a.txt"), none), TakeResult::NotPlanned);
    ahead.Stop();
    EXPECT_EQ(temp_.Files(), 0);
  }
  EXPECT_EQ(messages_.Count(), 0);
}

TEST_F(DecodeAheadTest, FailuresWaitForTheTaker) {
  PackedMember cut{"cut.bin", Packed(Text(5, 50000)), 50000};
  cut.packed.resize(cut.packed.size() - 10);
  PackedMember huge{"huge.bin", Packed("small"), 5};
  huge.packed[7] = 0x01;  // declares more than the stream holds
  Open(std::vector<PackedMember>{{"good.txt", Packed("good"), 4}, cut, huge});
  DecodeAhead ahead(archive_, nullptr, kFilesOnly);
  ahead.Start(InTemp({u"good.txt", u"cut.bin", u"huge.bin"}), 1);
  for (int i = 0; i < 600 && ahead.DecodedMembers() < 3; ++i) Sleep(50);
  ASSERT_EQ(ahead.DecodedMembers(), 3);
  EXPECT_EQ(messages_.Count(), 0);

  PreparedMember member;
  ASSERT_EQ(ahead.TakeMember(WideString(u"good.txt"), member), TakeResult::Taken);
  EXPECT_EQ(Content(member), "good");
  DeletePreparedFile(member);
  for (const WChar* name : {u"cut.bin", u"huge.bin"}) {
    ASSERT_EQ(ahead.TakeMember(WideString(name), member), TakeResult::Taken);
    EXPECT_FALSE(member.report.extracted);
    ASSERT_EQ(member.report.failures.size(), 1u);
    EXPECT_EQ(member.report.failures[0], DecodeFailure::Read);
    EXPECT_EQ(messages_.Count(), 0);
    // Shown when the taker says so, naming the installer as the source.
    ShowDecodeReport(member.report, member.sourcePath, member.file);
    ASSERT_EQ(messages_.Count(), 1);
    EXPECT_EQ(messages_.Last().text, u"Error whilst uncompressing '" + member.file + u"', unable to read '" +
                                         ModulePath() + u"'");
    EXPECT_EQ(messages_.Last().flags, UINT(MB_ICONERROR | MB_TOPMOST));
    messages_.Clear();
    DeletePreparedFile(member);
  }
}

TEST_F(DecodeAheadTest, WindowBoundsTheMembersWaiting) {
  constexpr size_t kSize = 100000;
  std::vector<std::string> contents;
  std::vector<PackedMember> members;
  std::vector<WideString> plan;
  for (int i = 0; i < 16; ++i) {
    // One member larger than the byte limit halfway: it waits alone.
    contents.push_back(Text(i, i == 8 ? 5 * kSize : kSize));
    members.push_back(QuickMember("m" + std::to_string(i), contents.back()));
    plan.push_back(WideString::FromUtf8(("m" + std::to_string(i)).c_str()));
  }
  Open(members);
  const DecodeWindowLimits limits{3, 3 * kSize, 0};
  DecodeAhead ahead(archive_, nullptr, limits);
  ahead.Start(InTemp(plan), 2);
  for (int i = 0; i < 16; ++i) {
    Sleep(30);  // a slow taker: the threads fill the window meanwhile
    PreparedMember member;
    ASSERT_EQ(ahead.TakeMember(plan[i], member), TakeResult::Taken);
    EXPECT_TRUE(Content(member) == contents[i]) << i;
    // The decoded members waiting, plus the one just taken: files handed
    // back are used again, so no more are ever made.
    EXPECT_LE(temp_.Files(WideString(u"~PLI*.tmp")), 4) << i;
    ahead.HandBack(member);
  }
  EXPECT_EQ(ahead.PeakMembers(), 3u);
  EXPECT_EQ(ahead.PeakBytes(), 5 * kSize);  // the oversized one, alone
}

TEST_F(DecodeAheadTest, LargeMembersStartFirstCostliestFirst) {
  // Small members, then two large ones of one size: m6 packs small, m7 (its
  // letters drawn from 16) packs to about half and costs the most to
  // decode. Nobody takes anything yet.
  std::vector<PackedMember> members;
  std::vector<std::string> contents;
  std::vector<WideString> plan;
  for (int i = 0; i < 8; ++i) {
    contents.push_back(i < 6 ? Text(i, 10000) : i == 6 ? std::string(2u << 20, 'z') : Text(i, 2u << 20));
    members.push_back(QuickMember("m" + std::to_string(i), contents.back()));
    plan.push_back(WideString::FromUtf8(("m" + std::to_string(i)).c_str()));
  }
  Open(members);
  struct Case {
    const char* what;
    int threads;
    DecodeWindowLimits limits;
    bool cheapLargeAhead;  // m6 starts before the small m5
  };
  const Case cases[] = {
      // The member count is full of small members: the large ones are
      // decoded all the same, by the byte limit.
      {"count full", 2, {2, 8u << 20}, true},
      // Half the byte limit holds one large member ahead of the order:
      // m6 waits for its turn.
      {"byte room for one", 2, {1024, 5u << 20}, false},
      // One thread keeps the order.
      {"one thread", 1, {1024, 64u << 20}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DecodeAhead ahead(archive_, nullptr, c.limits);
    ahead.Start(InTemp(plan), c.threads);
    // Until the threads have done what they may without a taker.
    int decoded = -1;
    for (int i = 0; i < 100 && decoded != ahead.DecodedMembers(); ++i) {
      decoded = ahead.DecodedMembers();
      Sleep(300);
    }
    for (int i = 0; i < 8; ++i) {
      PreparedMember member;
      ASSERT_EQ(ahead.TakeMember(plan[i], member), TakeResult::Taken);
      EXPECT_TRUE(Content(member) == contents[i]) << i;
      ahead.HandBack(member);
    }
    ahead.Stop();
    const std::vector<size_t>& order = ahead.StartOrder();
    ASSERT_EQ(order.size(), 8u);
    const auto position = [&order](size_t member) {
      return std::find(order.begin(), order.end(), member) - order.begin();
    };
    if (c.threads == 1) {
      EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    } else {
      EXPECT_LT(position(7), 2);
    }
    EXPECT_EQ(position(6) < position(5), c.cheapLargeAhead);
    EXPECT_EQ(temp_.Files(), 0);
  }
}

TEST_F(DecodeAheadTest, SkippedMembersAreDroppedAndStopDeletesEveryFile) {
  Open({{"a", "alpha"}, {"b", "beta"}, {"c", "gamma"}, {"d", "delta"}, {"e", Text(9, 200000)}});
  DecodeAhead ahead(archive_, nullptr, kFilesOnly);
  ahead.Start(InTemp({u"a", u"b", u"c", u"d", u"e"}), 2);
  for (int i = 0; i < 600 && ahead.DecodedMembers() < 5; ++i) Sleep(50);
  PreparedMember member;
  ASSERT_EQ(ahead.TakeMember(WideString(u"c"), member), TakeResult::Taken);
  EXPECT_EQ(Content(member), "gamma");
  // a and b were passed over: gone with their files, and not taken any more.
  PreparedMember other;
  EXPECT_EQ(ahead.TakeMember(WideString(u"a"), other), TakeResult::NotPlanned);
  // Stop deletes the others; the taken member's is its taker's while it
  // holds the file open.
  EXPECT_EQ(temp_.Files(WideString(u"~PLI*.tmp")), 3);
  ahead.Stop();
  EXPECT_EQ(temp_.Files(), 1);
  DeletePreparedFile(member);
  EXPECT_EQ(temp_.Files(), 0);
}

TEST_F(DecodeAheadTest, CancelStopsTheThreadsAndTheTaker) {
  std::vector<PackedMember> members;
  std::vector<WideString> plan;
  for (int i = 0; i < 40; ++i) {
    members.push_back(QuickMember("m" + std::to_string(i), Text(i, 256 << 10)));
    plan.push_back(WideString::FromUtf8(("m" + std::to_string(i)).c_str()));
  }
  Open(members);
  for (const char* how : {"InstallFailed", "stop event"}) {
    SCOPED_TRACE(how);
    NamedEvent stop;
    ASSERT_TRUE(stop.Create(WideString()));
    DecodeAhead ahead(archive_, &stop, kFilesOnly);
    ahead.Start(InTemp(plan), 1);
    PreparedMember member;
    ASSERT_EQ(ahead.TakeMember(plan[0], member), TakeResult::Taken);
    DeletePreparedFile(member);
    if (how[0] == 'I') {
      State().InstallFailed = true;
    } else {
      stop.Set();
    }
    EXPECT_EQ(ahead.TakeMember(plan[30], member), TakeResult::Stopped);
    ahead.Stop();
    EXPECT_LT(ahead.DecodedMembers(), 30);
    EXPECT_EQ(temp_.Files(), 0);
    State().InstallFailed = false;
  }
}

// The faults of decoding ahead, each with the case that showed it.

TEST_F(DecodeAheadTest, HandedBackFilesTakeNoDiskSpace) {
  Open({{"big.bin", Text(1, 600000)}});
  DecodeAhead ahead(archive_, nullptr, kFilesOnly);
  ahead.Start(InTemp({u"big.bin"}), 1);
  PreparedMember member;
  ASSERT_EQ(ahead.TakeMember(WideString(u"big.bin"), member), TakeResult::Taken);
  ahead.HandBack(member);
  uint64_t held = 0;
  for (const WideString& name : NamesIn(folder_ / u"temp\\", WideString(u"*"), true)) {
    held += FileSizeOf(folder_ / u"temp\\" + name);
  }
  EXPECT_EQ(held, 0u);
}

TEST_F(DecodeAheadTest, WriteFailuresAheadAreRetriedAtTheirTurn) {
  // No temporary file can be made while the members are decoded ahead,
  // neither beside the destination nor in the temporary folder: a file
  // member cannot be written, nor can a small program held in memory (it
  // needs a file for its version). At its turn the space may be there.
  Open({{"data.bin", Text(2, 2000)}, {"tool.exe", "MZ" + Text(3, 2000)}});
  ASSERT_TRUE(WriteWholeFile(folder_ / u"blocker", "a file where a folder should be"));
  for (const DecodeWindowLimits& limits : {kFilesOnly, DecodeWindowLimits{}}) {
    const bool memory = limits.memory > 0;
    DecodeAhead ahead(archive_, nullptr, limits);
    {
      TempInFolder full(folder_ / u"blocker\\temp\\");
      // Their destination's folder cannot be made either.
      const WideString nowhere = folder_ / u"blocker\\sub\\";
      ahead.Start({{u"data.bin", nowhere}, {u"tool.exe", nowhere}}, 1);
      for (int i = 0; i < 200 && ahead.DecodedMembers() < 2; ++i) Sleep(25);
      ASSERT_EQ(ahead.DecodedMembers(), 2);
    }
    PreparedMember member;
    // Held in memory, data.bin needs no file.
    EXPECT_EQ(ahead.TakeMember(WideString(u"data.bin"), member), memory ? TakeResult::Taken : TakeResult::Retry);
    ahead.HandBack(member);
    EXPECT_EQ(ahead.TakeMember(WideString(u"tool.exe"), member), TakeResult::Retry) << memory;
  }
  EXPECT_EQ(messages_.Count(), 0);
}

TEST_F(DecodeAheadTest, StoppingDecodersDeleteTheFilesNobodyTook) {
  // The worker is suspended after its stop time-out: Stop never runs. The
  // decoders delete what they made, except the file the worker holds.
  std::vector<PackedMember> members;
  std::vector<WideString> plan;
  for (int i = 0; i < 6; ++i) {
    members.push_back(QuickMember("m" + std::to_string(i), Text(i, 20000)));
    plan.push_back(WideString::FromUtf8(("m" + std::to_string(i)).c_str()));
  }
  Open(members);
  NamedEvent stop;
  ASSERT_TRUE(stop.Create(WideString()));
  auto ahead = std::make_unique<DecodeAhead>(archive_, &stop, kFilesOnly);
  ahead->Start(InTemp(plan), 2);
  PreparedMember held;
  ASSERT_EQ(ahead->TakeMember(plan[0], held), TakeResult::Taken);
  for (int i = 0; i < 200 && ahead->DecodedMembers() < 6; ++i) Sleep(25);
  ASSERT_EQ(ahead->DecodedMembers(), 6);
  stop.Set();
  for (int i = 0; i < 200 && temp_.Files() > 1; ++i) Sleep(25);
  EXPECT_EQ(temp_.Files(), 1);
  EXPECT_TRUE(PathExists(held.file));
  held.handle.Reset();  // the taker is done with it, without handing it back
  ahead->Stop();
  EXPECT_EQ(temp_.Files(), 0);
}

namespace {

// Holds the decoding of the first planned member between its end and its
// publication until released.
struct HeldPublication {
  HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~HeldPublication() {
    CloseHandle(reached);
    CloseHandle(release);
  }
} g_held;

void HoldFirstMember(size_t planIndex) {
  if (planIndex != 0) return;
  SetEvent(g_held.reached);
  WaitForSingleObject(g_held.release, 10000);
}

}  // namespace

TEST_F(DecodeAheadTest, AMemberDroppedAsItsDecodingEndsIsReleased) {
  Open({{"a", Text(1, 3000)}, {"b", Text(2, 3000)}});
  SetDecodeEndHookForTests(&HoldFirstMember);
  {
    DecodeAhead ahead(archive_, nullptr, kFilesOnly);
    ahead.Start(InTemp({u"a", u"b"}), 2);
    ASSERT_EQ(WaitForSingleObject(g_held.reached, 10000), WAIT_OBJECT_0);
    // Passed over while its decoding ends.
    PreparedMember member;
    ASSERT_EQ(ahead.TakeMember(WideString(u"b"), member), TakeResult::Taken);
    ahead.HandBack(member);
    SetEvent(g_held.release);
    for (int i = 0; i < 200 && ahead.HeldMembers() > 0; ++i) Sleep(25);
    EXPECT_EQ(ahead.HeldMembers(), 0u);
  }
  SetDecodeEndHookForTests(nullptr);
}

TEST_F(DecodeAheadTest, EveryThreadKnowsHowManyThereAreFromTheStart) {
  // Of two threads, one takes the large member ahead of the small ones:
  // the first to start, if it counts the threads right.
  std::vector<PackedMember> members;
  std::vector<WideString> plan;
  for (int i = 0; i < 4; ++i) {
    members.push_back(QuickMember("m" + std::to_string(i), Text(i, i < 3 ? 5000 : 2u << 20)));
    plan.push_back(WideString::FromUtf8(("m" + std::to_string(i)).c_str()));
  }
  Open(members);
  for (int run = 0; run < 5; ++run) {
    DecodeAhead ahead(archive_, nullptr, kFilesOnly);
    ahead.Start(InTemp(plan), 2);
    for (int i = 0; i < 400 && ahead.DecodedMembers() < 4; ++i) Sleep(25);
    ahead.Stop();
    ASSERT_FALSE(ahead.StartOrder().empty());
    EXPECT_EQ(ahead.StartOrder()[0], 3u) << "run " << run;
  }
}
