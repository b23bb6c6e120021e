// Files that crash or hang FreeImage, and a worker that dies, cost the viewer
// one picture and nothing else.
#include "hostile_files.h"

#include "decoder/decoder_client.h"
#include "support/images.h"
#include "support/temp_folder.h"
#include "support/tiff_bytes.h"
#include "viewer/image_loader.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

using decoder::TDecoderClient;
using Clock = std::chrono::steady_clock;

class WorkerFaultsTest : public ::testing::Test {
protected:
  void SetUp() override {
    good = dir.File("good.png");
    ASSERT_TRUE(testimg::Save(testimg::Solid24(6, 4, 0x204060), FIF_PNG, good));
    client.SetTimeLimit(std::chrono::seconds(5));
  }
  void TearDown() override { client.SetTimeLimit(std::chrono::seconds(10)); }

  void ExpectGoodLoadWorks() {
    TFreeBitmap bitmap;
    ASSERT_TRUE(LoadImageFile(bitmap, good, true));
    EXPECT_EQ(bitmap.Width(), 6u);
    EXPECT_EQ(bitmap.Height(), 4u);
  }

  // Starts a load that takes far longer than the tests wait.
  void StartSlowLoad() {
    slow = dir.Write("slow.jpg", hostile::JpegWithEmptyScans(2048, 2048, 20000));
    client.StartLoad(DecoderPath(slow), JPEG_EXIFROTATE);
    ASSERT_FALSE(client.WaitLoad(200)) << "the slow file decoded quickly";
  }

  TempFolder dir;
  QString good;
  QString slow;
  TDecoderClient& client = TDecoderClient::Shared();
};

TEST_F(WorkerFaultsTest, HostileFilesGiveAPictureOrNoneAndTheNextLoadWorks) {
  for (const hostile::TFile& file : hostile::All()) {
    SCOPED_TRACE(file.name.toStdString());
    const QString path = dir.Write(file.name, file.bytes);
    TFreeBitmap bitmap;
    const auto started = Clock::now();
    LoadImageFile(bitmap, path, true);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(7));
    if (bitmap.IsValid()) {
      EXPECT_GT(bitmap.Width(), 0u);
      EXPECT_GT(bitmap.Height(), 0u);
    }
    IdentifyReadableFormat(path);
    ExpectGoodLoadWorks();
  }
}

TEST_F(WorkerFaultsTest, ADecodeOverItsTimeLimitEndsEmpty) {
  client.SetTimeLimit(std::chrono::milliseconds(600));
  TFreeBitmap bitmap;
  ASSERT_TRUE(LoadImageFile(bitmap, good, true));
  slow = dir.Write("slow.jpg", hostile::JpegWithEmptyScans(2048, 2048, 20000));
  const auto started = Clock::now();
  client.StartLoad(DecoderPath(slow), JPEG_EXIFROTATE);
  client.WaitLoad(-1);
  decoder::TLoadResult result = client.TakeLoad();
  EXPECT_EQ(result.outcome, decoder::TLoadOutcome::Failed);
  EXPECT_EQ(result.problem, decoder::TLoadProblem::GaveUp);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(3));
  ExpectGoodLoadWorks();
}

TEST_F(WorkerFaultsTest, KillingTheWorkerInTheMiddleOfADecodeFailsThatLoadOnly) {
  StartSlowLoad();
  const pid_t worker = client.WorkerPid();
  ASSERT_GT(worker, 0);
  ASSERT_EQ(::kill(worker, SIGKILL), 0);
  ASSERT_TRUE(client.WaitLoad(3000));
  decoder::TLoadResult result = client.TakeLoad();
  EXPECT_EQ(result.outcome, decoder::TLoadOutcome::Failed);
  EXPECT_EQ(result.problem, decoder::TLoadProblem::GaveUp);
  EXPECT_NE(client.WorkerPid(), worker) << "a new worker is started";
  ExpectGoodLoadWorks();
  // A kill says nothing about the file: it is decoded again next time.
  const auto sent = client.DecodesSent();
  StartSlowLoad();
  EXPECT_EQ(client.DecodesSent(), sent + 1);
  client.CancelLoad();
  client.TakeLoad();
}

TEST_F(WorkerFaultsTest, KillingTheIdleWorkerCostsNothing) {
  ExpectGoodLoadWorks();
  const pid_t worker = client.WorkerPid();
  ASSERT_GT(worker, 0);
  ASSERT_EQ(::kill(worker, SIGKILL), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  TFreeBitmap bitmap;
  const QString other = dir.File("other.png");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(9, 2, 0x405060), FIF_PNG, other));
  ASSERT_TRUE(LoadImageFile(bitmap, other, true));
  EXPECT_EQ(bitmap.Width(), 9u);
}

// Whether pid has been reaped (a zombie still answers kill 0), waiting up to
// three seconds for it without touching the client.
bool ReapedWithin3s(pid_t pid) {
  const auto until = Clock::now() + std::chrono::seconds(3);
  while (Clock::now() < until) {
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// However a worker ends, it is reaped at once: killed from outside or
// ending by itself while idle, with nothing asked of the client meanwhile;
// and dropped alive because its socket failed, when it ends only after the
// viewer has given up waiting for it.
TEST_F(WorkerFaultsTest, AWorkerIsReapedHoweverItEnds) {
  ExpectGoodLoadWorks();
  pid_t worker = client.WorkerPid();
  ASSERT_EQ(::kill(worker, SIGKILL), 0);
  EXPECT_TRUE(ReapedWithin3s(worker)) << "killed while idle";

  ExpectGoodLoadWorks();
  worker = client.WorkerPid();
  ASSERT_EQ(::shutdown(client.SocketFd(), SHUT_WR), 0);  // the worker reads the end and exits
  EXPECT_TRUE(ReapedWithin3s(worker)) << "exited by itself while idle";

  ExpectGoodLoadWorks();
  worker = client.WorkerPid();
  ASSERT_EQ(::shutdown(client.SocketFd(), SHUT_RD), 0);  // the viewer's side fails, the worker lives
  client.Pump();
  EXPECT_NE(client.WorkerPid(), worker);
  EXPECT_TRUE(ReapedWithin3s(worker)) << "dropped alive";
  ExpectGoodLoadWorks();
}

TEST_F(WorkerFaultsTest, ACrashIsKeptAsAFailureOfThatVersionOfTheFile) {
  StartSlowLoad();
  ASSERT_EQ(::kill(client.WorkerPid(), SIGSEGV), 0);
  ASSERT_TRUE(client.WaitLoad(3000));
  decoder::TLoadResult crashed = client.TakeLoad();
  EXPECT_EQ(crashed.outcome, decoder::TLoadOutcome::Failed);
  EXPECT_EQ(crashed.problem, decoder::TLoadProblem::GaveUp);
  const auto sent = client.DecodesSent();
  client.StartLoad(DecoderPath(slow), JPEG_EXIFROTATE);
  ASSERT_TRUE(client.WaitLoad(0)) << "the crash is not repeated";
  decoder::TLoadResult kept = client.TakeLoad();
  EXPECT_EQ(kept.outcome, decoder::TLoadOutcome::Failed);
  EXPECT_EQ(kept.problem, decoder::TLoadProblem::GaveUp) << "a kept crash is still the decoder giving up";
  EXPECT_EQ(client.DecodesSent(), sent);
}

TEST_F(WorkerFaultsTest, CancellingEndsTheLoadAtOnce) {
  StartSlowLoad();
  const auto started = Clock::now();
  client.CancelLoad();
  decoder::TLoadResult result = client.TakeLoad();
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(result.outcome, decoder::TLoadOutcome::Failed);
  EXPECT_EQ(result.problem, decoder::TLoadProblem::Cancelled) << "the user moved on: nothing to say";
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(500));
  ExpectGoodLoadWorks();
}

}  // namespace

namespace {

TEST(DecoderWorker, RunsUnderItsAddressSpaceLimit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an AddressSanitizer build runs the worker without an address-space limit";
#endif
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  // An answer shows the worker past its start, where it sets the limit.
  EXPECT_EQ(client.Identify("/nonexistent/x.png"), FIF_PNG);
  ASSERT_GT(client.WorkerPid(), 0);
  QFile limits(QStringLiteral("/proc/%1/limits").arg(client.WorkerPid()));
  ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(limits.readAll());
  const QString line = text.mid(text.indexOf(QLatin1String("Max address space")), 80);
  EXPECT_TRUE(line.contains(QString::number(decoder::TDecoderClient::WorkerAddressSpace()))) << line.toStdString();
  EXPECT_GE(decoder::TDecoderClient::WorkerAddressSpace(), 1ull << 30);
}

// The worker decodes every file, so it must keep libtiff's warnings about
// unknown tags off the terminal as the viewer does.
TEST_F(WorkerFaultsTest, TheWorkerKeepsTheImageLibrariesQuiet) {
  const std::vector<std::uint8_t> bytes = testimg::TiffWithUnknownTag();
  const QString tiff =
      dir.Write("unknown-tag.tif", QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
  const QString log = dir.File("stderr.txt");
  std::fflush(stderr);
  const int saved = ::dup(2);
  FILE* capture = std::fopen(log.toUtf8().constData(), "w");
  ASSERT_NE(capture, nullptr);
  ::dup2(::fileno(capture), 2);
  // The worker that starts next writes to the captured stderr.
  if (client.WorkerPid() > 0) ::kill(client.WorkerPid(), SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  TFreeBitmap bitmap;
  const bool loaded = LoadImageFile(bitmap, tiff, true);
  ::dup2(saved, 2);
  ::close(saved);
  std::fclose(capture);
  ::kill(client.WorkerPid(), SIGKILL);  // and the one after to the real one
  std::this_thread::sleep_for(std::chrono::milliseconds(50));

  ASSERT_TRUE(loaded);
  EXPECT_EQ(bitmap.Width(), 1u);
  const QByteArray written = testimg::ReadFile(log);
  EXPECT_FALSE(written.contains("65000")) << written.constData();
}

}  // namespace
