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
#include "platform/registry.h"
#include "platform/registry_file.h"

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
  for (int i = 0; i < count; ++i)
    big->SetValue(TRegValue::Integer(QStringLiteral("value number %1").arg(i), round));
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
