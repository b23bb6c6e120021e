// The bookkeeping of decode requests, driven through a fake worker: what a
// reply completes, what a dead worker fails, what is kept and reused. No
// process runs; the bitmaps travel in real sealed memory files, packed as
// the worker packs them.
#include "decoder/decode_requests.h"
#include "decoder/bitmap_pack.h"
#include "decoder/file_stamp.h"
#include "platform/memory_file.h"
#include "platform/posix_io.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using namespace decoder;
using Kind = TWorkerMessage::TKind;

// A worker that answers only what the test tells it to.
class TFakeWorker final : public TWorkerChannel {
public:
  bool Start() override {
    if (!running) ++starts;
    running = true;
    return true;
  }
  bool Send(const TRequestHeader& header, const std::string& path, int) override {
    if (!running) return false;
    sent.push_back(header);
    paths.push_back(path);
    if (onSend) onSend(header);
    return true;
  }
  TWorkerMessage Receive(int) override {
    if (inbox.empty()) return {};
    TWorkerMessage message = std::move(inbox.front());
    inbox.pop_front();
    return message;
  }
  bool Drop(bool kill) override {
    running = false;
    ++drops;
    if (kill) ++kills;
    inbox.clear();  // what the dropped worker had sent dies with its socket
    return crashes;
  }

  const TRequestHeader& Last() const { return sent.back(); }
  void Post(TReplyHeader reply, TFileDescriptor memory = {}) {
    TWorkerMessage message;
    message.kind = Kind::Reply;
    message.reply = reply;
    message.memory = std::move(memory);
    inbox.push_back(std::move(message));
  }
  // The worker ends: crashed by a signal of its own, or killed.
  void Die(bool crashed) {
    crashes = crashed;
    TWorkerMessage gone;
    gone.kind = Kind::Gone;
    inbox.push_back(std::move(gone));
  }

  std::function<void(const TRequestHeader&)> onSend;  // answers the blocking requests
  bool running = false;
  bool crashes = false;
  int starts = 0, drops = 0, kills = 0;
  std::vector<TRequestHeader> sent;
  std::vector<std::string> paths;
  std::deque<TWorkerMessage> inbox;
};

TFreeBitmap Solid(unsigned width, unsigned height, BYTE red) {
  TFreeBitmap bitmap(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24));
  RGBQUAD colour{0, 0, red, 0};
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) FreeImage_SetPixelColor(bitmap.Dib(), x, y, &colour);
  return bitmap;
}

BYTE Red(const TFreeBitmap& bitmap) {
  RGBQUAD c{};
  FreeImage_GetPixelColor(bitmap.Dib(), 0, 0, &c);
  return c.rgbRed;
}

class DecodeRequestsTest : public ::testing::Test {
protected:
  DecodeRequestsTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "decode-requests-XXXXXX").string();
    if (::mkdtemp(pattern.data())) folder = pattern;
  }
  ~DecodeRequestsTest() override { std::filesystem::remove_all(folder); }

  // A file of its own: its stamp is what the requests key on.
  std::string File(const std::string& name) {
    const std::string path = (folder / name).string();
    std::ofstream(path) << name;
    return path;
  }
  TReplyHeader ReplyTo(const TRequestHeader& request, TReplyStatus status, const std::string& path) {
    TReplyHeader reply;
    reply.id = request.id;
    reply.status = status;
    reply.fif = FIF_PNG;
    reply.stampValid = StampOfPath(path, reply.stamp) ? 1 : 0;
    reply.stable = 1;
    return reply;
  }
  // The worker's answer to the last request: a decoded bitmap.
  void AnswerDecoded(const std::string& path, unsigned width, BYTE red, TReplyStatus status = TReplyStatus::Decoded) {
    TReplyHeader reply = ReplyTo(worker.Last(), status, path);
    TFileDescriptor memory = PackBitmap(Solid(width, 3, red), reply);
    ASSERT_TRUE(memory.Valid());
    worker.Post(reply, std::move(memory));
  }
  TLoadResult Load(const std::string& path) {
    requests.StartLoad(path, 0);
    EXPECT_TRUE(requests.WaitLoad(1000));
    return requests.TakeLoad();
  }

  std::filesystem::path folder;
  TFakeWorker worker;
  TDecodeRequests requests{worker, 3, 1ull << 30};
};

TEST_F(DecodeRequestsTest, APreviewComesOnceBeforeTheFullDecode) {
  const std::string photo = File("photo.jpg");
  requests.StartLoad(photo, 0, 64);
  ASSERT_EQ(worker.sent.size(), 1u);
  EXPECT_EQ(worker.Last().previewSize, 64u);
  AnswerDecoded(photo, 4, 0x40, TReplyStatus::Preview);
  worker.inbox.back().reply.fullWidth = 40;
  worker.inbox.back().reply.fullHeight = 30;

  EXPECT_FALSE(requests.WaitLoad(1000, true)) << "stops at the preview";
  TLoadResult preview;
  unsigned width = 0, height = 0;
  ASSERT_TRUE(requests.TakePreview(preview, width, height));
  EXPECT_EQ(preview.bitmap.Width(), 4u);
  EXPECT_EQ(width, 40u);
  EXPECT_EQ(height, 30u);
  EXPECT_FALSE(requests.TakePreview(preview, width, height)) << "a preview is given once";
  EXPECT_TRUE(requests.LoadPending());

  AnswerDecoded(photo, 40, 0x80);
  ASSERT_TRUE(requests.WaitLoad(1000));
  const TLoadResult full = requests.TakeLoad();
  EXPECT_EQ(full.outcome, TLoadOutcome::Decoded);
  EXPECT_EQ(full.bitmap.Width(), 40u);
  EXPECT_EQ(Red(full.bitmap), 0x80);
  EXPECT_EQ(Red(preview.bitmap), 0x40) << "the preview outlives the full decode";
  EXPECT_TRUE(requests.Kept().Holds(photo));
}

TEST_F(DecodeRequestsTest, AReplyForAFileSteppedAwayFromCompletesNothing) {
  const std::string a = File("a.png"), b = File("b.png");
  requests.StartLoad(a, 0);
  const TRequestHeader forA = worker.Last();
  requests.StartLoad(b, 0);
  EXPECT_EQ(worker.kills, 1) << "the worker busy with a makes way";
  ASSERT_EQ(worker.paths.back(), b);

  // a's answer still comes in (it was on its way): it is not b's.
  TReplyHeader late = ReplyTo(forA, TReplyStatus::Decoded, a);
  worker.Post(late, PackBitmap(Solid(7, 3, 0x11), late));
  requests.Pump();
  EXPECT_TRUE(requests.LoadPending());
  EXPECT_FALSE(requests.Kept().Holds(a));

  AnswerDecoded(b, 9, 0x22);
  ASSERT_TRUE(requests.WaitLoad(1000));
  const TLoadResult result = requests.TakeLoad();
  EXPECT_EQ(result.bitmap.Width(), 9u);
  EXPECT_EQ(Red(result.bitmap), 0x22);
}

TEST_F(DecodeRequestsTest, AWorkerThatCrashesFailsTheLoadAndTheNextLoadStartsAnother) {
  const std::string bad = File("bad.png"), good = File("good.png");
  requests.StartLoad(bad, 0);
  EXPECT_EQ(worker.starts, 1);
  worker.Die(true);
  ASSERT_TRUE(requests.WaitLoad(1000));
  const TLoadResult failed = requests.TakeLoad();
  EXPECT_EQ(failed.outcome, TLoadOutcome::Failed);
  EXPECT_EQ(failed.problem, TLoadProblem::GaveUp);
  EXPECT_FALSE(failed.cancelled);
  EXPECT_EQ(worker.kills, 0);

  // The crash is the file's: the same file fails again without a decode.
  const std::size_t sent = worker.sent.size();
  EXPECT_EQ(Load(bad).problem, TLoadProblem::GaveUp);
  EXPECT_EQ(worker.sent.size(), sent);

  requests.StartLoad(good, 0);
  EXPECT_EQ(worker.starts, 2) << "a fresh worker takes the next load";
  AnswerDecoded(good, 5, 0x33);
  ASSERT_TRUE(requests.WaitLoad(1000));
  EXPECT_EQ(requests.TakeLoad().outcome, TLoadOutcome::Decoded);
}

TEST_F(DecodeRequestsTest, AWorkerKilledFromOutsideSaysNothingOfTheFile) {
  const std::string photo = File("photo.png");
  requests.StartLoad(photo, 0);
  worker.Die(false);
  ASSERT_TRUE(requests.WaitLoad(1000));
  EXPECT_EQ(requests.TakeLoad().problem, TLoadProblem::GaveUp);
  const std::size_t sent = worker.sent.size();
  requests.StartLoad(photo, 0);
  EXPECT_EQ(worker.sent.size(), sent + 1) << "decoded again";
}

TEST_F(DecodeRequestsTest, CancelEndsTheWorkerAndTheLoad) {
  const std::string photo = File("photo.png");
  requests.StartLoad(photo, 0);
  requests.CancelLoad();
  EXPECT_EQ(worker.kills, 1);
  EXPECT_TRUE(worker.running) << "a fresh worker stands ready";
  EXPECT_FALSE(requests.Busy());
  const TLoadResult result = requests.TakeLoad();
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(result.problem, TLoadProblem::Cancelled);
  EXPECT_FALSE(requests.Kept().Holds(photo));
}

TEST_F(DecodeRequestsTest, ALoadThatOverrunsItsTimeGivesUp) {
  const std::string photo = File("photo.png");
  requests.SetTimeLimit(std::chrono::milliseconds(5));
  requests.StartLoad(photo, 0);
  ASSERT_TRUE(requests.WaitLoad(-1));
  const TLoadResult result = requests.TakeLoad();
  EXPECT_EQ(result.problem, TLoadProblem::GaveUp);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(worker.kills, 1);
}

TEST_F(DecodeRequestsTest, ADecodeAheadIsKeptAndAnswersTheLoad) {
  const std::string a = File("a.png"), next = File("next.png"), after = File("after.png");
  requests.StartLoad(a, 0);
  AnswerDecoded(a, 3, 0x01);
  ASSERT_TRUE(requests.WaitLoad(1000));
  ASSERT_EQ(requests.TakeLoad().bitmap.Width(), 3u);

  // Finished before the step.
  requests.DecodeAhead({next}, 0);
  AnswerDecoded(next, 11, 0x44);
  requests.Pump();
  EXPECT_TRUE(requests.Kept().Holds(next));
  std::size_t sent = worker.sent.size();
  TLoadResult result = Load(next);
  EXPECT_EQ(worker.sent.size(), sent);
  EXPECT_EQ(result.bitmap.Width(), 11u);
  // Edits in place stay with the viewer's copy.
  FreeImage_Invert(result.bitmap.Dib());
  EXPECT_EQ(Red(Load(next).bitmap), 0x44);

  // Still under way at the step: it becomes the load.
  requests.DecodeAhead({after}, 0);
  sent = worker.sent.size();
  requests.StartLoad(after, 0);
  EXPECT_EQ(worker.sent.size(), sent);
  EXPECT_EQ(worker.kills, 0);
  AnswerDecoded(after, 13, 0x55);
  ASSERT_TRUE(requests.WaitLoad(1000));
  EXPECT_EQ(requests.TakeLoad().bitmap.Width(), 13u);
}

// Two ahead: the second is sent as soon as the answer of the first is read,
// and a step keeps what is still ahead of it.
TEST_F(DecodeRequestsTest, DecodesAheadFollowOneAnother) {
  const std::string a = File("a.png"), b = File("b.png"), c = File("c.png"), d = File("d.png");
  requests.StartLoad(a, 0);
  AnswerDecoded(a, 3, 0x01);
  ASSERT_TRUE(requests.WaitLoad(1000));
  requests.TakeLoad();

  requests.DecodeAhead({b, c}, 0);
  ASSERT_EQ(worker.paths.back(), b);
  EXPECT_TRUE(requests.AheadUnderWay());
  AnswerDecoded(b, 5, 0x22);
  requests.Pump();
  ASSERT_EQ(worker.paths.back(), c) << "the second follows the first at once";
  AnswerDecoded(c, 7, 0x33);
  requests.Pump();
  EXPECT_FALSE(requests.AheadUnderWay());
  const std::size_t sent = worker.sent.size();
  EXPECT_EQ(Load(b).bitmap.Width(), 5u);
  EXPECT_EQ(worker.sent.size(), sent);

  requests.DecodeAhead({c, d}, 0);
  EXPECT_FALSE(requests.Kept().Holds(a)) << "behind the user";
  EXPECT_TRUE(requests.Kept().Holds(c));
  ASSERT_EQ(worker.paths.back(), d) << "only what is not kept is decoded";
  EXPECT_EQ(worker.sent.size(), sent + 1);
  // A load replaces the list: nothing is sent after the answer under way.
  AnswerDecoded(d, 9, 0x44);
  EXPECT_EQ(Load(c).bitmap.Width(), 7u);
  requests.DecodeAhead({d, b, a}, 0);
  EXPECT_EQ(worker.paths.back(), a);
  EXPECT_EQ(Load(d).bitmap.Width(), 9u);
  AnswerDecoded(a, 3, 0x01);
  requests.Pump();
  EXPECT_FALSE(requests.AheadUnderWay());
  EXPECT_EQ(worker.sent.size(), sent + 2);

  // The step comes before the answer of the first is read: the load takes
  // it, and only then is the second sent, which the load cannot end.
  const std::string e = File("e.png"), f = File("f.png");
  requests.DecodeAhead({e, f}, 0);
  ASSERT_EQ(worker.paths.back(), e);
  AnswerDecoded(e, 4, 0x05);
  EXPECT_EQ(Load(e).bitmap.Width(), 4u);
  EXPECT_EQ(worker.paths.back(), f);
  EXPECT_TRUE(requests.AheadUnderWay());
  // A load of a kept file the list did not hold (here the one on display)
  // ends the list.
  AnswerDecoded(f, 6, 0x06);
  requests.Pump();
  requests.DecodeAhead({a, b}, 0);
  ASSERT_EQ(worker.paths.back(), a);
  const std::size_t before = worker.sent.size();
  AnswerDecoded(a, 3, 0x01);
  EXPECT_EQ(Load(e).bitmap.Width(), 4u);
  EXPECT_EQ(worker.sent.size(), before);
  EXPECT_EQ(worker.kills, 0);

  // The step comes while the first is under way: it becomes the load, and
  // the second follows its answer at once.
  const std::string g = File("g.png"), h = File("h.png");
  requests.DecodeAhead({g, h}, 0);
  ASSERT_EQ(worker.paths.back(), g);
  requests.StartLoad(g, 0);
  EXPECT_EQ(worker.paths.back(), g);
  AnswerDecoded(g, 8, 0x08);
  ASSERT_TRUE(requests.WaitLoad(1000));
  EXPECT_EQ(requests.TakeLoad().bitmap.Width(), 8u);
  EXPECT_EQ(worker.paths.back(), h);
  EXPECT_TRUE(requests.AheadUnderWay());
  EXPECT_EQ(worker.kills, 0);
}

TEST_F(DecodeRequestsTest, AFrameAnsweredAfterALoadStartedIsDropped) {
  const std::string animation = File("anim.gif"), photo = File("photo.png");
  ASSERT_TRUE(requests.StartFrame(animation, 2));
  EXPECT_TRUE(requests.FrameUnderWay());
  const TRequestHeader frame = worker.Last();
  EXPECT_EQ(frame.kind, TRequestKind::DecodeFrame);
  EXPECT_EQ(frame.page, 2u);

  requests.StartLoad(photo, 0);
  EXPECT_FALSE(requests.FrameUnderWay());
  EXPECT_FALSE(requests.StartFrame(animation, 3)) << "not while a load is pending";
  TReplyHeader late = ReplyTo(frame, TReplyStatus::Decoded, animation);
  worker.Post(late, PackBitmap(Solid(6, 6, 0x66), late));
  requests.Pump();
  EXPECT_FALSE(requests.TakeFrame()) << "the frame goes unanswered, to be asked again";
  EXPECT_TRUE(requests.LoadPending());

  AnswerDecoded(photo, 8, 0x77);
  ASSERT_TRUE(requests.WaitLoad(1000));
  EXPECT_EQ(requests.TakeLoad().bitmap.Width(), 8u);

  // Asked again with the worker idle, it is answered.
  ASSERT_TRUE(requests.StartFrame(animation, 2));
  TReplyHeader answer = ReplyTo(worker.Last(), TReplyStatus::Decoded, animation);
  answer.pages = 5;
  answer.delayMs = 40;
  worker.Post(answer, PackBitmap(Solid(6, 6, 0x66), answer));
  requests.Pump();
  const std::optional<TFrameAnswer> taken = requests.TakeFrame();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->index, 2u);
  EXPECT_EQ(taken->frameCount, 5u);
  EXPECT_EQ(taken->delayMs, 40u);
  EXPECT_EQ(Red(taken->frame.bitmap), 0x66);
}

// Frames come in one memory file the worker writes again for each: the
// viewer's copy of a frame stays as it was, and a file that breaks its
// promise gives no frame.
TEST_F(DecodeRequestsTest, FramesAreCopiedOutOfTheFileTheWorkerWritesAgain) {
  const std::string animation = File("anim.gif");
  const auto frame = [&](unsigned index, TFreeBitmap bitmap,
                         const std::function<void(TReplyHeader&, TFileDescriptor&)>& spoil = nullptr) {
    EXPECT_TRUE(requests.StartFrame(animation, index));
    TReplyHeader reply = ReplyTo(worker.Last(), TReplyStatus::Decoded, animation);
    TFileDescriptor memory = PackFrame(std::move(bitmap), reply);
    EXPECT_TRUE(memory.Valid());
    const std::uint64_t inode = StatusOfDescriptor(memory.Get()).inode;
    if (spoil) spoil(reply, memory);
    worker.Post(reply, std::move(memory));
    requests.Pump();
    std::optional<TFrameAnswer> answer = requests.TakeFrame();
    EXPECT_TRUE(answer);
    return std::make_pair(answer ? std::move(answer->frame) : TLoadResult{}, inode);
  };
  auto [first, firstFile] = frame(0, Solid(6, 6, 0x21));
  auto [second, secondFile] = frame(1, Solid(6, 6, 0x42));
  EXPECT_EQ(firstFile, secondFile) << "one file for every frame";
  EXPECT_EQ(Red(first.bitmap), 0x21) << "the first frame, copied before the file was written again";
  EXPECT_EQ(Red(second.bitmap), 0x42);

  EXPECT_FALSE(frame(2, Solid(6, 6, 0x10), [](TReplyHeader& reply, TFileDescriptor&) { reply.pixelBytes += 1 << 20; })
                   .first.bitmap)
      << "rows beyond the end";
  EXPECT_FALSE(
      frame(2, Solid(6, 6, 0x10), [](TReplyHeader&, TFileDescriptor& memory) { ResizeFile(memory.Get(), 100); })
          .first.bitmap)
      << "a file cut short";
  ReleaseFrameFile();  // its mapping would fault now: the worker's next frame goes in a new one
  EXPECT_FALSE(frame(2, Solid(6, 6, 0x10), [](TReplyHeader& reply, TFileDescriptor&) { reply.pixelOffset = ~0ull - 4; })
                   .first.bitmap)
      << "an offset wrapping around";

  // A frame larger than the file is meant for comes sealed, as a decode does.
  auto [large, largeFile] = frame(3, Solid(2400, 2400, 0x63));
  EXPECT_NE(largeFile, firstFile);
  EXPECT_EQ(Red(large.bitmap), 0x63);
  ReleaseFrameFile();
}

// A memory file that is not what its reply promises fails the load as a
// damaged file: one case per fault.
TEST_F(DecodeRequestsTest, AMemoryFileThatBreaksItsPromiseIsRefused) {
  int files = 0;
  const auto refused = [&](const char* fault, auto spoil) {
    const std::string photo = File("photo" + std::to_string(++files) + ".png");
    const std::size_t sent = worker.sent.size();
    requests.StartLoad(photo, 0);
    ASSERT_EQ(worker.sent.size(), sent + 1);
    TReplyHeader reply = ReplyTo(worker.Last(), TReplyStatus::Decoded, photo);
    TFileDescriptor memory = PackBitmap(Solid(4, 4, 0x10), reply);
    spoil(reply, memory);
    worker.Post(reply, std::move(memory));
    ASSERT_TRUE(requests.WaitLoad(1000)) << fault;
    const TLoadResult result = requests.TakeLoad();
    EXPECT_EQ(result.outcome, TLoadOutcome::Failed) << fault;
    EXPECT_EQ(result.problem, TLoadProblem::Damaged) << fault;
    EXPECT_FALSE(result.bitmap) << fault;
  };
  refused("unsealed", [](TReplyHeader& reply, TFileDescriptor& memory) {
    memory = TFileDescriptor(CreateMemoryFile(1 << 16));
    reply.blobOffset = 0;
    reply.pixelOffset = 4096;
  });
  refused("rows beyond the end", [](TReplyHeader& reply, TFileDescriptor&) { reply.pixelBytes += 1; });
  refused("offset wrapping around", [](TReplyHeader& reply, TFileDescriptor&) { reply.pixelOffset = ~0ull - 4; });
  refused("huge description", [](TReplyHeader& reply, TFileDescriptor&) { reply.blobBytes = 1ull << 40; });
  refused("no memory file", [](TReplyHeader&, TFileDescriptor& memory) { memory.Reset(); });
  refused("no rows", [](TReplyHeader& reply, TFileDescriptor&) { reply.pixelBytes = 0; });
}

TEST_F(DecodeRequestsTest, AMissingFileIsToldApartFromADamagedOne) {
  const std::string gone = (folder / "gone.png").string();
  requests.StartLoad(gone, 0);
  worker.Post(ReplyTo(worker.Last(), TReplyStatus::Failed, gone));
  ASSERT_TRUE(requests.WaitLoad(1000));
  EXPECT_EQ(requests.TakeLoad().problem, TLoadProblem::Missing);
}

TEST_F(DecodeRequestsTest, TheBlockingRequestsGetTheirAnswersAndACrashAnswersAsAnUnreadableFile) {
  const std::string written = File("written.tif");
  worker.onSend = [&](const TRequestHeader& request) {
    TReplyHeader reply = ReplyTo(request, TReplyStatus::Identified, written);
    reply.fif = FIF_TIFF;
    reply.pages = 3;
    if (request.kind == TRequestKind::Check) {
      EXPECT_EQ(request.fif, FIF_TIFF);
      reply.status = TReplyStatus::Decoded;
      reply.fullWidth = 2000;
      reply.fullHeight = 1000;
      reply.warned = 1;
      TFileDescriptor memory = PackBitmap(Solid(20, 10, 0x99), reply);
      worker.Post(reply, std::move(memory));
    } else {
      worker.Post(reply);
    }
  };
  unsigned pages = 0;
  EXPECT_EQ(requests.Identify(written, &pages), FIF_TIFF);
  EXPECT_EQ(pages, 3u);
  requests.StartCheck(written, FIF_TIFF);
  const TCheckResult check = requests.FinishCheck();
  EXPECT_TRUE(check.decoded);
  EXPECT_EQ(check.contentFormat, FIF_TIFF);
  EXPECT_EQ(check.pages, 3u);
  EXPECT_EQ(check.width, 2000u);
  EXPECT_TRUE(check.warned);
  EXPECT_EQ(Red(check.decode.bitmap), 0x99);
  EXPECT_FALSE(requests.Kept().Holds(written)) << "a check is never kept";

  worker.onSend = [&](const TRequestHeader&) { worker.Die(true); };
  EXPECT_EQ(requests.Identify(written, &pages), FIF_UNKNOWN);
  EXPECT_EQ(pages, 0u);
  requests.StartCheck(written, FIF_TIFF);
  EXPECT_FALSE(requests.FinishCheck().decoded);
  EXPECT_EQ(requests.DecodePage(written, 1, 0).outcome, TLoadOutcome::Failed);
  EXPECT_FALSE(requests.Busy());
}

}  // namespace
