// A second viewer process for the registry tests: it writes the hive given on
// its command line in one of three ways.
//
//   registry_writer saves <hive> <name> <count>
//       <count> registry objects one after another, each writing value v<i>
//       of key \Writers\<name> and saving when freed.
//   registry_writer hang <hive> <count>
//       one save of key \Big with <count> values that stops right before the
//       new file replaces the old one, printing "ready", until killed.
//   registry_writer churn <hive> <count>
//       saves key \Big with <count> values again and again, each round with
//       the round number in every value, until killed.
//   registry_writer hold <hive> <name> <ms>
//       a slow save: takes the lock, prints "ready", keeps the lock <ms>
//       milliseconds, then writes value \Holders\<name>.
//   registry_writer ui-save <hive> <name>
//       a save from the user-interface thread of a GUI program: writes value
//       \Window\<name>, prints "written" or "pending" and the milliseconds
//       the save took, then ends normally.
#include "platform/registry.h"
#include "platform/registry_file.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void FillBig(TRegKey& root, int count, std::uint32_t round) {
  root.DeleteKey({QStringLiteral("Big")});
  TRegKey* big = root.CreateKey({QStringLiteral("Big")});
  for (int i = 0; i < count; ++i) big->SetValue(TRegValue::Integer(QStringLiteral("value number %1").arg(i), round));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const char* mode = argv[1];
  const QString hive = QString::fromLocal8Bit(argv[2]);

  if (std::strcmp(mode, "saves") == 0 && argc == 5) {
    const QString key = QStringLiteral("\\Writers\\") + QString::fromLocal8Bit(argv[3]);
    const int count = std::atoi(argv[4]);
    for (int i = 0; i < count; ++i) {
      TRegistry reg(hive);
      if (!reg.OpenKey(key, true) || !reg.WriteInteger(QStringLiteral("v%1").arg(i), i) || !reg.Flush()) return 1;
    }
    return 0;
  }

  if (std::strcmp(mode, "hold") == 0 && argc == 5) {
    const QString name = QString::fromLocal8Bit(argv[3]);
    const int ms = std::atoi(argv[4]);
    const bool bWritten = TRegistryFile(hive).Update([&](TRegKey& root) {
      std::puts("ready");
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      root.CreateKey({QStringLiteral("Holders")})->SetValue(TRegValue::Integer(name, 1));
    });
    return bWritten ? 0 : 1;
  }
  if (std::strcmp(mode, "ui-save") == 0) {
    QGuiApplication app(argc, argv);
    QElapsedTimer timer;
    timer.start();
    bool bWritten = false;
    {
      TRegistry reg(hive);
      if (!reg.OpenKey(QStringLiteral("\\Window"), true) || !reg.WriteInteger(QString::fromLocal8Bit(argv[3]), 1))
        return 1;
      bWritten = reg.Flush();
    }
    std::printf("%s %lld\n", bWritten ? "written" : "pending", static_cast<long long>(timer.elapsed()));
    std::fflush(stdout);
    return 0;
  }

  const int count = std::atoi(argv[3]);
  TRegistryFile file(hive);
  if (std::strcmp(mode, "hang") == 0) {
    file.OnBeforeReplace = [] {
      std::puts("ready");
      std::fflush(stdout);
      for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    };
    file.Update([count](TRegKey& root) { FillBig(root, count, 0xDEAD); });
    return 1;
  }
  if (std::strcmp(mode, "churn") == 0) {
    for (std::uint32_t round = 1;; ++round) {
      file.Update([count, round](TRegKey& root) { FillBig(root, count, round); });
      if (round == 1) {
        std::puts("ready");
        std::fflush(stdout);
      }
    }
  }
  return 2;
}
