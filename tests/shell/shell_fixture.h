#pragma once

// A private config and data folder per test (the registry hive, mimeapps.list,
// the desktop entry), no current desktop, and a viewer executable of the
// test's choosing for the open command.

#include "platform/registry.h"
#include "shell/association_notice.h"
#include "shell/association_store.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class ShellFixture : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.IsValid());
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CURRENT_DESKTOP", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
      saved[name] = qgetenv(name);
    qputenv("XDG_CONFIG_HOME", home.File("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.File("data").toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP");
    UseExecutable(QStringLiteral(VELVANE_BUILD_DIR "/velvane"));
  }
  void TearDown() override {
    ApplicationExeNameHook() = nullptr;
    AssociationNoticeHook() = nullptr;
    for (auto it = saved.begin(); it != saved.end(); ++it) {
      if (it->second.isNull())
        qunsetenv(it->first);
      else
        qputenv(it->first, it->second);
    }
  }

  void UseExecutable(const QString& path) {
    ApplicationExeNameHook() = [path] { return path; };
  }

  // An executable shell script at name under the temporary home, with the
  // MIME package beside it as an installed viewer has it.
  QString FakeViewer(const QString& name) {
    const QString path = home.Write(name, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    const QString package = QFileInfo(path).absolutePath() + QStringLiteral("/res/mime/org.norquill.Velvane.xml");
    QDir().mkpath(QFileInfo(package).absolutePath());
    QFile::copy(QStringLiteral(VELVANE_BUILD_DIR "/res/mime/org.norquill.Velvane.xml"), package);
    return path;
  }

  // The (default) or a named value of a key, read through a fresh registry.
  static QString Value(const QString& key, const QString& name = QString()) {
    TRegistry reg;
    return reg.OpenKey(key, false) ? reg.ReadString(name) : QStringLiteral("<no key>");
  }
  static bool HasValue(const QString& key, const QString& name) {
    TRegistry reg;
    return reg.OpenKey(key, false) && reg.ValueExists(name);
  }
  static bool KeyExists(const QString& key) { return TRegistry().KeyExists(key); }
  static void Write(const QString& key, const QString& name, const QString& value) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, true));
    ASSERT_TRUE(reg.WriteString(name, value));
  }

  TempFolder home;
  std::map<const char*, QByteArray> saved;
};
