// The real worker, locked in: what the kernel says of it while it runs, the
// newer formats decoded through it exactly as in this process, and a worker
// its own filter ends, or one that cannot lock itself in, read as the
// decoder giving up on the file.
#include "bitmap_compare.h"
#include "dng_file.h"
#include "new_format_files.h"

#include "decoder/decoder_client.h"
#include "decoder/extra_plugins.h"
#include "decoder/file_stamp.h"
#include "decoder/worker_decode.h"
#include "support/images.h"
#include "support/temp_folder.h"
#include "viewer/image_loader.h"

#include <gtest/gtest.h>

#include <QFile>

#include <dirent.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using decoder::TDecoderClient;
using decoder::TLoadOutcome;
using decoder::TLoadProblem;
using decoder::TLoadResult;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
constexpr bool SanitizerBuild = true;
#else
constexpr bool SanitizerBuild = false;
#endif

std::string StatusLine(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key + ":", 0) == 0) {
      std::string value = line.substr(key.size() + 1);
      value.erase(0, value.find_first_not_of(" \t"));
      return value;
    }
  return {};
}

bool UserNamespacesAllowed() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(::unshare(CLONE_NEWUSER) == 0 ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> OpenDescriptors(const std::string& proc) {
  std::vector<std::string> open;
  if (DIR* fds = ::opendir((proc + "/fd").c_str())) {
    while (const dirent* entry = ::readdir(fds))
      if (entry->d_name[0] != '.') open.push_back(entry->d_name);
    ::closedir(fds);
  }
  return open;
}

TLoadResult Load(TDecoderClient& client, const QString& path, int flags = 0) {
  client.StartLoad(DecoderPath(path), flags);
  client.WaitLoad(-1);
  return client.TakeLoad();
}

// A client of the test build's worker, and the environment every worker it
// starts gets.
struct TTestWorker {
  explicit TTestWorker(const char* lockIn = nullptr) {
    ::setenv("VELVANE_DECODER", TEST_WORKER, 1);
    if (lockIn) ::setenv("VELVANE_TEST_LOCKIN", lockIn, 1);
    client.Start();
  }
  ~TTestWorker() {
    client.Stop();
    ::unsetenv("VELVANE_DECODER");
    ::unsetenv("VELVANE_TEST_LOCKIN");
  }
  TDecoderClient client;
};

TEST(WorkerSandbox, TheRunningWorkerIsLockedInWithNothingButItsSocket) {
  TempFolder dir;
  const QString png = dir.File(QStringLiteral("a.png"));
  ASSERT_TRUE(testimg::Save(testimg::Solid24(8, 8, 0x336699), FIF_PNG, png));
  TDecoderClient client;
  TLoadResult loaded = Load(client, png);
  ASSERT_EQ(loaded.outcome, TLoadOutcome::Decoded);
  const pid_t pid = client.WorkerPid();
  ASSERT_GT(pid, 0);

  EXPECT_EQ(StatusLine(pid, "Seccomp"), "2");
  EXPECT_EQ(StatusLine(pid, "NoNewPrivs"), "1");

  // Its descriptors and namespaces can be read only with the right to trace
  // it, which a process that is not dumpable grants no one but a privileged
  // user: an unprivileged run checks what /proc/PID/status tells.
  const std::string proc = "/proc/" + std::to_string(pid);
  if (::access((proc + "/fd").c_str(), R_OK) == 0) {
    // The picture it was handed is closed again, and the memfd of its reply
    // right after sending: only the socket remains.
    std::vector<std::string> open;
    for (int attempt = 0; attempt < 100 && open != std::vector<std::string>{"3"}; ++attempt) {
      if (attempt > 0) ::usleep(10000);
      open = OpenDescriptors(proc);
    }
    std::string described;
    for (const std::string& fd : open) {
      char target[256] = {};
      (void)!::readlink((proc + "/fd/" + fd).c_str(), target, sizeof target - 1);
      described += fd + " " + target + "; ";
    }
    ASSERT_EQ(open, std::vector<std::string>{"3"}) << described;
    char target[64] = {};
    ASSERT_GT(::readlink((proc + "/fd/3").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target).rfind("socket:", 0), 0u) << target;
  } else {
    GTEST_LOG_(INFO) << "descriptors of the worker not readable without privileges";
  }
  struct stat ours {
  }, theirs{};
  ASSERT_EQ(::stat("/proc/self/ns/net", &ours), 0);
  if (UserNamespacesAllowed() && ::stat((proc + "/ns/net").c_str(), &theirs) == 0) {
    EXPECT_NE(theirs.st_ino, ours.st_ino);
  }
}

// The decoders that start threads of their own, run behind other libraries
// or read through LibRaw give the same bitmap locked in as in this process.
TEST(WorkerSandbox, NewerFormatsDecodeLockedInAsInProcess) {
  TempFolder dir;
  const QString source = newfiles::QuadrantJpeg(dir, QStringLiteral("source.jpg"), true, 6);
  QStringList files;
  for (const char* name : {"q.heic", "q.avif", "q.jxl"}) {
    const QString path = newfiles::Encode(dir, source, QLatin1String(name));
    ASSERT_FALSE(path.isEmpty()) << name;
    files << path;
  }
  dngtest::TDngLayout layout;
  layout.previewJpeg = testimg::ReadFile(source);
  layout.previewWidth = 64;
  layout.previewHeight = 48;
  files << dir.Write(QStringLiteral("q.nef"), dngtest::Dng(layout));
  files << source;

  decoder::RegisterExtraDecoders();
  TDecoderClient client;
  for (const QString& path : files) {
    const std::string name = DecoderPath(path);
    decoder::TWorkerResult expected =
        decoder::DecodeFile(decoder::OpenRegularFile(name), name, JPEG_EXIFROTATE, decoder::TWorkerAsk{});
    ASSERT_TRUE(expected.bitmap) << name;
    TLoadResult got = Load(client, path, JPEG_EXIFROTATE);
    ASSERT_EQ(got.outcome, TLoadOutcome::Decoded) << name;
    ExpectSameBitmap(expected.bitmap.Dib(), got.bitmap.Dib(), name);
  }
  EXPECT_EQ(StatusLine(client.WorkerPid(), "Seccomp"), "2");
}

TEST(WorkerSandbox, AWorkerItsFilterEndsGaveUpOnThatFile) {
  if (SanitizerBuild) GTEST_SKIP() << "a sanitizer build's filter refuses the call instead of ending the worker";
  TempFolder dir;
  const QString png = dir.File(QStringLiteral("a.png"));
  ASSERT_TRUE(testimg::Save(testimg::Solid24(8, 8, 0x336699), FIF_PNG, png));
  // A good picture whose name makes the test worker try to open a file.
  const QString escaping = dir.File(QStringLiteral("b.png.velvane-test-escape"));
  ASSERT_TRUE(QFile::copy(png, escaping));

  TTestWorker worker;
  const pid_t pid = worker.client.WorkerPid();
  TLoadResult result = Load(worker.client, escaping);
  EXPECT_EQ(result.outcome, TLoadOutcome::Failed);
  EXPECT_EQ(result.problem, TLoadProblem::GaveUp);
  EXPECT_FALSE(result.cancelled);
  EXPECT_NE(worker.client.WorkerPid(), pid);  // a fresh worker took over

  // Counted as the file's crash: the same version is not handed over again.
  const std::uint64_t sent = worker.client.DecodesSent();
  result = Load(worker.client, escaping);
  EXPECT_EQ(result.problem, TLoadProblem::GaveUp);
  EXPECT_EQ(worker.client.DecodesSent(), sent);

  // The next file decodes in the fresh worker.
  result = Load(worker.client, png);
  EXPECT_EQ(result.outcome, TLoadOutcome::Decoded);
}

TEST(WorkerSandbox, AWorkerThatCannotLockItselfInFailsEachLoadAtOnce) {
  TempFolder dir;
  const QString png = dir.File(QStringLiteral("a.png"));
  ASSERT_TRUE(testimg::Save(testimg::Solid24(8, 8, 0x336699), FIF_PNG, png));
  TTestWorker worker("fail");
  worker.client.SetTimeLimit(std::chrono::minutes(2));
  for (int i = 0; i < 2; ++i) {
    worker.client.StartLoad(DecoderPath(png), 0);
    // Well within the time limit: the worker's end is seen, not waited out.
    ASSERT_TRUE(worker.client.WaitLoad(20000)) << i;
    const TLoadResult result = worker.client.TakeLoad();
    EXPECT_EQ(result.outcome, TLoadOutcome::Failed);
    EXPECT_EQ(result.problem, TLoadProblem::GaveUp);
  }
}

}  // namespace
