#pragma once

#include "support/temp_folder.h"

#include <QByteArray>
#include <QDir>

#include <map>
#include <string>

// HOME and XDG_DATA_HOME in a temporary folder for the life of the object,
// so that a trashed file lands in a trash of the test's own and nothing
// reaches the user's. The data folder is not created: the code under test
// must cope with a fresh one.
class PrivateHome {
public:
  PrivateHome() {
    for (const char* name : {"HOME", "XDG_DATA_HOME"})
      if (qEnvironmentVariableIsSet(name)) FSaved[name] = qgetenv(name);
    QDir().mkpath(FRoot.File("home"));
    qputenv("HOME", FRoot.File("home").toLocal8Bit());
    SetDataHome(FRoot.File("data/share"));
  }
  ~PrivateHome() {
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      const auto saved = FSaved.find(name);
      if (saved == FSaved.end())
        qunsetenv(name);
      else
        qputenv(name, saved->second);
    }
  }
  PrivateHome(const PrivateHome&) = delete;
  PrivateHome& operator=(const PrivateHome&) = delete;

  void SetDataHome(const QString& path) {
    FDataHome = path;
    qputenv("XDG_DATA_HOME", path.toLocal8Bit());
  }
  const QString& DataHome() const { return FDataHome; }
  QString Trash() const { return FDataHome + QStringLiteral("/Trash"); }
  const TempFolder& Root() const { return FRoot; }

private:
  TempFolder FRoot;
  QString FDataHome;
  std::map<std::string, QByteArray> FSaved;
};
