// Closing the payload while a worker is stuck inside an extraction: one
// suspended after its stop time-out, or one still waiting on the decoder's
// ownerless error box. Neither may hold the closing thread up.
#include <gtest/gtest.h>

#include "app/install_state.h"
#include "payload/win/payload_context.h"
#include "payload_builder.h"
#include "payload_test_util.h"
#include "test_folder.h"
#include "util/win/message_door.h"
#include "util/win/scoped_handle.h"
#include "util/win/worker_thread.h"

namespace {

// A message box that does not go away: the responder tells that the box is
// up and then waits until the test lets it go.
struct StuckBox {
  ScopedKernelHandle shown{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  ScopedKernelHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  static int Respond(void* context, HWND, const WideString&, const WideString&, UINT) {
    auto* box = static_cast<StuckBox*>(context);
    SetEvent(box->shown.Get());
    WaitForSingleObject(box->release.Get(), 120000);
    return IDOK;
  }
};

struct Extraction {
  PayloadArchive* archive;
  WideString target;
  volatile bool extracted = true;

  static void Run(NamedEvent&, void* self) {
    auto* job = static_cast<Extraction*>(self);
    job->extracted = job->archive->ExtractTo(WideString(u"cut.bin"), job->target);
  }
};

// A payload whose one member passes its sum but is cut short, so decoding
// it ends in the read message.
std::vector<uint8_t> PayloadWithCutMember() {
  PackedMember setup{"setup.dat", Packed("[Project Name]\r\nX\r\n"), 19};
  PackedMember cut{"cut.bin", Packed(std::string(5000, 'c')), 5000};
  cut.packed.resize(cut.packed.size() - 4);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(WriteArchive({setup, cut}, bytes), ArchiveWriteStatus::Ok);
  return bytes;
}

// Runs call on a thread of its own; false when it has not returned within
// timeoutMs (the thread is then left to itself).
template <typename Call>
bool ReturnsWithin(DWORD timeoutMs, Call call) {
  struct Job {
    Call call;
    static DWORD WINAPI Run(void* self) {
      static_cast<Job*>(self)->call();
      return 0;
    }
  };
  auto* job = new Job{call};
  ScopedKernelHandle thread(CreateThread(nullptr, 0, &Job::Run, job, 0, nullptr));
  if (!thread) return false;
  if (WaitForSingleObject(thread.Get(), timeoutMs) != WAIT_OBJECT_0) return false;  // job stays with it
  delete job;
  return true;
}

class PayloadClose : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = PayloadWithCutMember();
    SetMessageResponder(&StuckBox::Respond, &box_);
  }
  void TearDown() override {
    SetEvent(box_.release.Get());
    SetMessageResponder(nullptr, nullptr);
    ResetInstallState();
  }

  std::vector<uint8_t> bytes_;
  StuckBox box_;
  TestFolder folder_;
};

}  // namespace

TEST_F(PayloadClose, DestroyingTheContextDoesNotWaitForASuspendedWorker) {
  auto* context = new PayloadContext;
  bool failed = true;
  ASSERT_TRUE(context->OpenFromMemory(bytes_.data(), bytes_.size(), &failed));
  const WideString payloadFolder = context->PayloadFolder();
  Extraction job{&context->Archive(), folder_ / u"cut.bin"};
  WorkerThread worker;
  ASSERT_TRUE(worker.Start(&Extraction::Run, &job, 200));
  ASSERT_EQ(WaitForSingleObject(box_.shown.Get(), 30000), WAIT_OBJECT_0);
  worker.Stop();  // the box stays up: suspended after 200 ms
  ASSERT_TRUE(worker.WasSuspended());

  EXPECT_TRUE(ReturnsWithin(15000, [context] { delete context; }));
  // The payload folder went as usual.
  EXPECT_EQ(GetFileAttributesW(payloadFolder.W()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PayloadClose, ClosingDoesNotWaitForAWorkerOnAnErrorBox) {
  PayloadArchive archive;
  archive.OpenFromMemory(bytes_.data(), bytes_.size());
  Extraction job{&archive, folder_ / u"cut.bin"};
  WorkerThread worker;
  ASSERT_TRUE(worker.Start(&Extraction::Run, &job, 0));
  ASSERT_EQ(WaitForSingleObject(box_.shown.Get(), 30000), WAIT_OBJECT_0);

  EXPECT_TRUE(ReturnsWithin(15000, [&archive] { archive.Close(); }));
  EXPECT_EQ(archive.Count(), 0);
  // Once the box is answered, the worker finishes its extraction (which
  // failed) and ends.
  SetEvent(box_.release.Get());
  worker.Stop();
  EXPECT_FALSE(job.extracted);
  // The archive can be opened again and used.
  archive.OpenFromMemory(bytes_.data(), bytes_.size());
  EXPECT_TRUE(archive.ExtractTo(WideString(u"setup.dat"), folder_ / u"setup.dat"));
}
