#include "platform/folder_enum.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <limits>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QStringList Names(const std::vector<TDirEntry>& entries) {
  QStringList names;
  for (const TDirEntry& e : entries) names << e.Name;
  names.sort();
  return names;
}

bool MakeFifo(const QString& path) { return mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

// Runs call on a worker and fails when it has not returned within a few
// seconds; a fifo that blocked it is then opened read-write, which never
// blocks and releases any reader, so the test still ends.
template <typename F>
void ExpectReturnsPromptly(F call, const QString& fifo) {
  auto done = std::async(std::launch::async, call);
  if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    const int fd = open(QFile::encodeName(fifo).constData(), O_RDWR);
    done.wait();
    if (fd >= 0) close(fd);
    FAIL() << "blocked on a fifo";
  }
}

}  // namespace

TEST(EnumerateFolder, ListsOnlyVisibleRegularFiles) {
  TempFolder dir;
  dir.Write("a.png", QByteArray(10, 'x'));
  dir.Write("b.txt", "");
  dir.Write(".hidden.png", "x");
  ASSERT_TRUE(QDir(dir.Path()).mkdir("sub.png"));
  ASSERT_TRUE(MakeFifo(dir.File("f.png")));
  ASSERT_TRUE(QFile::link(dir.File("gone.png"), dir.File("dangling.png")));
  ASSERT_TRUE(QFile::link(dir.File("a.png"), dir.File("link.png")));
  ASSERT_TRUE(QFile::link(dir.Path() + "sub.png", dir.File("dirlink.png")));

  std::vector<TDirEntry> entries;
  ExpectReturnsPromptly([&] { EXPECT_TRUE(EnumerateFolder(dir.Path(), entries)); }, dir.File("f.png"));
  EXPECT_EQ(Names(entries), QStringList({"a.png", "b.txt", "link.png"}));
  for (const TDirEntry& e : entries) {
    if (e.Name == "link.png") {
      EXPECT_EQ(e.Size, 10);  // the size of the file it leads to
      EXPECT_TRUE(e.Attr & faSymLink);
    } else if (e.Name == "a.png") {
      EXPECT_EQ(e.Size, 10);
      EXPECT_EQ(e.Attr, faNormal);
    }
  }

  // Without the trailing slash the same entries come back.
  std::vector<TDirEntry> again;
  EXPECT_TRUE(EnumerateFolder(dir.Path().chopped(1), again));
  EXPECT_EQ(Names(again), Names(entries));
}

TEST(EnumerateFolder, OddNamesAndLargeSizes) {
  TempFolder dir;
  const QString newline = QString("two\nlines.jpg");
  const QString star = QString("*.*");
  dir.Write(newline, "x");
  dir.Write(star, "x");
  // A name that is not valid UTF-8 cannot be reached through any path the
  // viewer can form: it is passed over without harm.
  const QByteArray badName = QFile::encodeName(dir.Path()) + "bad\xff\xfe.jpg";
  const int fd = open(badName.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  // A sparse file beyond 4 GiB needs the full 64 bits.
  QFile big(dir.File("big.tif"));
  ASSERT_TRUE(big.open(QIODevice::WriteOnly));
  const qint64 bigSize = 5LL * 1024 * 1024 * 1024 + 3;
  ASSERT_TRUE(big.resize(bigSize));
  big.close();

  std::vector<TDirEntry> entries;
  ASSERT_TRUE(EnumerateFolder(dir.Path(), entries));
  EXPECT_EQ(Names(entries), QStringList({star, "big.tif", newline}));
  for (const TDirEntry& e : entries) {
    if (e.Name == "big.tif") {
      EXPECT_EQ(e.Size, bigSize);
    }
  }
  EXPECT_EQ(GetFileSize64(dir.File("big.tif")), bigSize);
}

TEST(EnumerateFolder, FailsCleanlyOnWhatIsNotAReadableFolder) {
  TempFolder dir;
  const QString file = dir.Write("photo.jpg", "x");
  ASSERT_TRUE(MakeFifo(dir.File("pipe")));
  std::vector<TDirEntry> entries{TDirEntry{"stale", 1, 0}};

  EXPECT_FALSE(EnumerateFolder(dir.File("missing/"), entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(EnumerateFolder(file, entries));
  EXPECT_FALSE(EnumerateFolder(file + "/", entries));
  EXPECT_FALSE(EnumerateFolder(QString(), entries));
  // A NUL would cut the path short at the folder itself.
  EXPECT_FALSE(EnumerateFolder(dir.Path() + QChar(0) + "x/", entries));
  ExpectReturnsPromptly([&] { EXPECT_FALSE(EnumerateFolder(dir.File("pipe"), entries)); }, dir.File("pipe"));

  ASSERT_TRUE(QDir(dir.Path()).mkdir("locked"));
  dir.Write("locked/inside.jpg", "x");
  ASSERT_EQ(chmod(QFile::encodeName(dir.File("locked")).constData(), 0), 0);
  if (geteuid() != 0) {  // root reads it all the same
    EXPECT_FALSE(EnumerateFolder(dir.File("locked"), entries));
  }
  chmod(QFile::encodeName(dir.File("locked")).constData(), 0700);  // lets the cleanup remove it
}

TEST(FileAttributeData, ReportsTimesAsTicksSince1601) {
  TempFolder dir;
  const QString path = dir.Write("photo.jpg", QByteArray(1536, 'x'));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  const QDateTime written(QDate(2020, 1, 1), QTime(0, 0, 0, 250), Qt::UTC);
  ASSERT_TRUE(f.setFileTime(written, QFileDevice::FileModificationTime));
  f.close();

  TFileAttributeData data;
  ASSERT_TRUE(GetFileAttributeData(path, data));
  EXPECT_EQ(data.LastWriteTime, 132223104000000000LL + 2500000);  // 250 ms in ticks
  EXPECT_EQ(data.Size, 1536);
  EXPECT_EQ(data.Attributes, faNormal);
  EXPECT_GT(data.CreationTime, 0);
  EXPECT_GT(data.LastAccessTime, 0);

  dir.Write(".secret.png", "x");
  ASSERT_TRUE(GetFileAttributeData(dir.File(".secret.png"), data));
  EXPECT_TRUE(data.Attributes & faHidden);
  ASSERT_TRUE(GetFileAttributeData(dir.Path(), data));
  EXPECT_TRUE(data.Attributes & faDirectory);

  data.Size = 99;
  EXPECT_FALSE(GetFileAttributeData(dir.File("missing.jpg"), data));
  EXPECT_EQ(data.Size, 0);
  EXPECT_EQ(data.LastWriteTime, 0);
  EXPECT_EQ(data.Attributes, 0u);
}

TEST(FileAttributeData, TickConversionSaturatesInsteadOfOverflowing) {
  EXPECT_EQ(UnixTimeToTicks(0, 0), UnixEpochTicks);
  EXPECT_EQ(UnixTimeToTicks(-1, 999999900), UnixEpochTicks - 1);
  EXPECT_EQ(UnixTimeToTicks(std::numeric_limits<qint64>::max() / 1000, 0), std::numeric_limits<qint64>::max());
  EXPECT_EQ(UnixTimeToTicks(std::numeric_limits<qint64>::min() / 1000, 0), std::numeric_limits<qint64>::min());
}

TEST(GetFileSize64, SizeMissingAndFifo) {
  TempFolder dir;
  EXPECT_EQ(GetFileSize64(dir.Write("photo.jpg", QByteArray(1536, 'x'))), 1536);
  EXPECT_EQ(GetFileSize64(dir.File("missing.jpg")), -1);
  EXPECT_EQ(GetFileSize64(QString()), -1);
  EXPECT_EQ(GetFileSize64(dir.File("photo.jpg") + QChar(0) + "x"), -1);
  EXPECT_EQ(GetFileSize64(dir.Path()), 0);

  ASSERT_TRUE(MakeFifo(dir.File("f.png")));
  ExpectReturnsPromptly([&] { EXPECT_EQ(GetFileSize64(dir.File("f.png")), 0); }, dir.File("f.png"));
}

TEST(FolderStamp, AChangedEntryChangesTheStampOnceTheTimesHaveSettled) {
  TempFolder dir;
  dir.Write("a.png", "x");
  TFolderStamp fresh;
  ASSERT_TRUE(ReadFolderStamp(dir.Path(), fresh));
  std::this_thread::sleep_for(std::chrono::milliseconds(80));

  TFolderStamp settled;
  ASSERT_TRUE(ReadFolderStamp(dir.Path(), settled));
  EXPECT_TRUE(settled.bSettled);
  EXPECT_TRUE(settled.SameFolderState(fresh));
  dir.Write("a.png", "rewritten in place");  // not an entry of the folder
  TFolderStamp same;
  ASSERT_TRUE(ReadFolderStamp(dir.Path(), same));
  EXPECT_TRUE(same.SameFolderState(settled));

  for (const auto& change :
       std::vector<std::function<bool()>>{[&] { return !dir.Write("b.png", "x").isEmpty(); },
                                          [&] { return QFile::rename(dir.File("b.png"), dir.File("c.png")); },
                                          [&] { return QFile::remove(dir.File("c.png")); }}) {
    TFolderStamp before;
    ASSERT_TRUE(ReadFolderStamp(dir.Path(), before));
    ASSERT_TRUE(change());
    TFolderStamp after;
    ASSERT_TRUE(ReadFolderStamp(dir.Path(), after));
    EXPECT_FALSE(after.SameFolderState(before));
  }

  TFolderStamp none;
  EXPECT_FALSE(ReadFolderStamp(dir.File("a.png"), none)) << "not a folder";
  EXPECT_FALSE(ReadFolderStamp(dir.File("missing/"), none));
  EXPECT_FALSE(ReadFolderStamp(QString(), none));
}

TEST(FolderStamp, TimesSettleAfterTheStepTheirFileSystemKeepsThemIn) {
  constexpr qint64 ms = 1000000;
  const qint64 t = 1700000000LL * 1000 * ms + 123456789;  // nanoseconds: a fine-grained file system
  EXPECT_FALSE(FolderTimesSettled(t, t, t + 40 * ms));
  EXPECT_TRUE(FolderTimesSettled(t, t, t + 50 * ms));
  EXPECT_FALSE(FolderTimesSettled(t - 500 * ms, t, t + 40 * ms)) << "the newer time counts";
  EXPECT_FALSE(FolderTimesSettled(t, t, t - 1000 * ms)) << "times ahead of the clock";

  const qint64 whole = 1700000000LL * 1000 * ms;  // whole seconds, or hundredths: FAT, exFAT, ext3
  EXPECT_FALSE(FolderTimesSettled(whole, whole + 10 * ms, whole + 1500 * ms));
  EXPECT_TRUE(FolderTimesSettled(whole, whole + 10 * ms, whole + 2100 * ms));

  const qint64 max = std::numeric_limits<qint64>::max();
  EXPECT_FALSE(FolderTimesSettled(max, max, max));
}
