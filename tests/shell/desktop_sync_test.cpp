// The notice carries the registry to the desktop: checked with the desktop's
// own readers (xdg-mime, gio) on private XDG folders.
#include "shell_fixture.h"

#include "folder/extra_formats.h"
#include "platform/desktop_defaults.h"
#include "platform/desktop_entry.h"
#include "platform/mimeapps_list.h"
#include "shell/integration.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

namespace {

const QByteArray kOther =
    "[Desktop Entry]\nType=Application\nName=Other Viewer\nExec=/bin/true %f\n"
    "MimeType=image/jpeg;image/png;image/gif;\n";

class DesktopSync : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    // The "system" folder of the readers: another viewer and the machine's MIME database.
    home.Write("sys/applications/other-viewer.desktop", kOther);
    home.Write("sys/applications/third-viewer.desktop", QByteArray(kOther).replace("Other", "Third"));
    QFile::link(QStringLiteral("/usr/share/mime"), home.File("sys/mime"));
    // The viewer sees the same folders as the readers.
    qputenv("XDG_CONFIG_DIRS", home.File("sysconfig").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", home.File("sys").toLocal8Bit());
    exe = FakeViewer(QStringLiteral("Velvane Apps/$x\\y'z `q/velvane"));
    UseExecutable(exe);
  }

  QString ListPath() const { return home.File("config/mimeapps.list"); }
  QByteArray List() const {
    QFile f(ListPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
  }
  void SetList(const QByteArray& bytes) { home.Write("config/mimeapps.list", bytes); }

  // Runs a desktop tool with nothing of the machine's own settings in reach.
  QString Run(const QString& tool, const QStringList& args, const QByteArray& desktop = {}) const {
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty()) return QStringLiteral("<no %1>").arg(tool);
    QProcessEnvironment env;
    env.insert("PATH", "/usr/bin:/bin");
    env.insert("HOME", home.File("home"));
    env.insert("XDG_CONFIG_HOME", home.File("config"));
    env.insert("XDG_CONFIG_DIRS", home.File("sysconfig"));
    env.insert("XDG_DATA_HOME", home.File("data"));
    env.insert("XDG_DATA_DIRS", home.File("sys"));
    if (!desktop.isEmpty()) env.insert("XDG_CURRENT_DESKTOP", desktop);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(path, args);
    if (!p.waitForFinished(30000)) return QStringLiteral("<timeout>");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }
  QString XdgDefault(const QString& type, const QByteArray& desktop = {}) const {
    return Run("xdg-mime", {"query", "default", type}, desktop);
  }
  // The rows of the dialog whose formats the viewer opens, by name.
  static QStringList Opened() {
    QStringList names;
    const std::vector<bool> opened = FormatsOpenedByViewer();
    for (std::size_t row = 0; row < ListedFormats().size(); ++row)
      if (opened[row]) names << QString(ListedFormats()[row].name);
    return names;
  }
  // The default that gio names for type.
  QString GioDefault(const char* type) const {
    const QString out = Run("gio", {"mime", type});
    const QString first = out.section(u'\n', 0, 0);
    return first.contains(u':') ? first.section(u':', -1).trimmed() : out;
  }

  void Ok(std::initializer_list<const char*> checked) {
    std::vector<std::pair<QString, bool>> choices;
    for (const ftype& f : SupportedFormats)
      choices.emplace_back(QString(f.name), std::find_if(checked.begin(), checked.end(), [&](const char* n) {
                                              return f.name == QLatin1String(n);
                                            }) != checked.end());
    ApplyAssociations(choices);
  }

  QString exe;
};

TEST_F(DesktopSync, TheReadersNameTheViewerAfterOkAndThePreviousApplicationAfterUninstall) {
  const QByteArray original = "[Default Applications]\nimage/jpeg=other-viewer.desktop;\n";
  SetList(original);
  ASSERT_EQ(XdgDefault("image/jpeg"), "other-viewer.desktop");
  ASSERT_EQ(GioDefault("image/jpeg"), "other-viewer.desktop");

  Ok({"JPEG", "PNG"});
  EXPECT_EQ(XdgDefault("image/jpeg"), DesktopFileId);
  EXPECT_EQ(GioDefault("image/jpeg"), DesktopFileId);
  EXPECT_EQ(GioDefault("image/png"), DesktopFileId);
  // The previous list stays behind the viewer.
  EXPECT_EQ(TMimeAppsList(List()).Entries("Default Applications", "image/jpeg"),
            (QList<QByteArray>{DesktopFileId.toUtf8(), "other-viewer.desktop"}));
  EXPECT_TRUE(QFileInfo::exists(UserDesktopEntryPath()));
  const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
  if (!validate.isEmpty()) {
    QProcess p;
    p.start(validate, {UserDesktopEntryPath()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
  }

  Uninstall();
  EXPECT_EQ(XdgDefault("image/jpeg"), "other-viewer.desktop");
  EXPECT_EQ(GioDefault("image/jpeg"), "other-viewer.desktop");
  EXPECT_EQ(List(), original);
  EXPECT_FALSE(QFileInfo::exists(UserDesktopEntryPath()));
  EXPECT_TRUE(TRegistry().ReadString("x").isEmpty());
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(MimeAppsBackupKey, false));
  EXPECT_TRUE(reg.GetValueNames().isEmpty());
}

TEST_F(DesktopSync, TheExtraFormatsTypesReachTheDesktopAndLeaveWithUninstall) {
  SetList("[Default Applications]\nimage/jpeg=other-viewer.desktop;\n");
  std::vector<std::pair<QString, bool>> choices;
  for (const ftype& f : ListedFormats()) choices.emplace_back(QString(f.name), f.id < 0);
  ApplyAssociations(choices);
  QFile f(UserDesktopEntryPath());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray entry = f.readAll();
  // The database's names, the aliases entries use (image/heic), and the
  // viewer's own package's types for what the database lacks (.3fr).
  for (const char* type : {"image/heif", "image/heic", "image/avif", "image/jxl", "image/x-nikon-nef",
                           "image/x-adobe-dng", "image/x-canon-cr2", "image/x-hasselblad-3fr"}) {
    EXPECT_TRUE(entry.contains(QByteArray(type) + ';')) << type;
    EXPECT_EQ(XdgDefault(type), DesktopFileId) << type;
  }
  EXPECT_EQ(XdgDefault("image/jpeg"), "other-viewer.desktop");

  Uninstall();
  for (const char* type : {"image/heic", "image/avif", "image/jxl", "image/x-nikon-nef"})
    EXPECT_NE(XdgDefault(type), DesktopFileId) << type;
  EXPECT_FALSE(QFileInfo::exists(UserDesktopEntryPath()));
}

TEST_F(DesktopSync, TheEntryRunsTheOpenCommandsProgramAndDeclaresEveryType) {
  Ok({"KOALA"});  // .koa is known only to the viewer's own MIME package
  QFile f(UserDesktopEntryPath());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray entry = f.readAll();
  EXPECT_TRUE(entry.contains("\nExec=\"" + DesktopExecArgument(exe).toUtf8().mid(1) + " -- %f\n"))
      << entry.toStdString();
  EXPECT_EQ(DesktopExecArgument("/a b/100% $x\\y`z\"q"), "\"/a b/100%% \\\\$x\\\\\\\\y\\\\`z\\\\\"q\"");
  // A plain path goes unquoted: xdg-mime takes the first word as it stands.
  EXPECT_EQ(DesktopExecArgument("/opt/velvane-1.5/bin/velvane"), "/opt/velvane-1.5/bin/velvane");
  EXPECT_EQ(DesktopExecArgument("/opt/100%/velvane"), "/opt/100%%/velvane");
  for (const char* type : {"image/jpeg;", "image/png;", "image/x-koala;", "image/tiff;", "image/x-portable-floatmap;"})
    EXPECT_TRUE(entry.contains(type)) << type;
  EXPECT_EQ(GioDefault("image/x-koala"), DesktopFileId);
  // gio found the program behind the escapes, or it would not list the entry.
  EXPECT_TRUE(Run("gio", {"mime", "image/png"}).contains(DesktopFileId));
}

TEST_F(DesktopSync, CommentsForeignGroupsAndOtherLinesStayByteForByte) {
  const QByteArray original =
      "# my associations\r\n"
      "[Added Associations]\n"
      "image/jpeg=third-viewer.desktop;\n"
      "\n"
      "[Default Applications]\n"
      "  # keep me\n"
      "text/plain=gedit.desktop;\n"
      "image/png = other-viewer.desktop;third-viewer.desktop\n"
      "image/gif=other-viewer.desktop;\n"
      "\n"
      "[Removed Associations]\n"
      "image/webp=other-viewer.desktop;";  // no line end at the end
  SetList(original);
  Ok({"JPEG", "PNG"});
  const QByteArray expected =
      "# my associations\r\n"
      "[Added Associations]\n"
      "image/jpeg=third-viewer.desktop;\n"
      "\n"
      "[Default Applications]\n"
      "  # keep me\n"
      "text/plain=gedit.desktop;\n"
      "image/png=org.norquill.Velvane.desktop;other-viewer.desktop;third-viewer.desktop;\n"
      "image/gif=other-viewer.desktop;\n"
      "image/jpeg=org.norquill.Velvane.desktop;\n"
      "\n"
      "[Removed Associations]\n"
      "image/webp=other-viewer.desktop;";
  EXPECT_EQ(List().toStdString(), expected.toStdString());
  // A second OK changes nothing more.
  Ok({"JPEG", "PNG"});
  EXPECT_EQ(List(), expected);
  Ok({});
  EXPECT_EQ(List().toStdString(), original.toStdString());
}

TEST_F(DesktopSync, AListTheViewerCreatedGoesAgainAndALaterChoiceOfTheUserStays) {
  Ok({"JPEG"});
  EXPECT_EQ(List(), "[Default Applications]\nimage/jpeg=org.norquill.Velvane.desktop;\n");
  Uninstall();
  EXPECT_FALSE(QFileInfo::exists(ListPath()));

  // Group added to a file without a final line end, and taken away again.
  SetList("[Added Associations]\nimage/png=other-viewer.desktop;");
  Ok({"PNG"});
  EXPECT_EQ(List(),
            "[Added Associations]\nimage/png=other-viewer.desktop;\n"
            "[Default Applications]\nimage/png=org.norquill.Velvane.desktop;\n");
  Ok({});
  EXPECT_EQ(List(), "[Added Associations]\nimage/png=other-viewer.desktop;");

  // The user picks another default after the viewer took the type: restoring
  // takes only the viewer's ID out and keeps the user's choice.
  SetList("[Default Applications]\nimage/gif=other-viewer.desktop;\n");
  Ok({"GIF"});
  SetList("[Default Applications]\nimage/gif=third-viewer.desktop;org.norquill.Velvane.desktop;\n");
  Ok({});
  EXPECT_EQ(List(), "[Default Applications]\nimage/gif=third-viewer.desktop;\n");
  EXPECT_EQ(GioDefault("image/gif"), "third-viewer.desktop");
}

// The user picks another application for JPEG after the viewer took it.
TEST_F(DesktopSync, ALaterChoiceOfTheUserIsNeitherUndoneNorLost) {
  UseExecutable(FakeViewer(QStringLiteral("plain/velvane")));  // a path xdg-mime can follow
  SetList("[Default Applications]\nimage/jpeg=other-viewer.desktop;\n");
  Ok({"JPEG", "PNG"});
  ASSERT_EQ(XdgDefault("image/jpeg"), DesktopFileId);
  EXPECT_EQ(Opened(), (QStringList{"JPEG", "PNG"}));

  Run("xdg-mime", {"default", "third-viewer.desktop", "image/jpeg"});
  ASSERT_EQ(XdgDefault("image/jpeg"), "third-viewer.desktop");
  // The dialog shows JPEG unchecked although the registry still has it, and
  // an OK as shown leaves the user's choice in place.
  EXPECT_TRUE(IsFormatAssociated("JPEG"));
  EXPECT_EQ(Opened(), (QStringList{"PNG"}));
  Ok({"PNG"});
  EXPECT_EQ(XdgDefault("image/jpeg"), "third-viewer.desktop");
  EXPECT_EQ(GioDefault("image/jpeg"), "third-viewer.desktop");

  // Checked again, JPEG is the viewer's again; given up, it goes back to the
  // user's choice, not to the application from before the first association.
  Ok({"JPEG", "PNG"});
  EXPECT_EQ(XdgDefault("image/jpeg"), DesktopFileId);
  Run("xdg-mime", {"default", "other-viewer.desktop", "image/jpeg"});
  Ok({"JPEG", "PNG"});  // the user checked it once more
  Uninstall();
  EXPECT_EQ(XdgDefault("image/jpeg"), "other-viewer.desktop");
  EXPECT_EQ(GioDefault("image/jpeg"), "other-viewer.desktop");
  EXPECT_EQ(Opened(), QStringList{});

  // The viewer chosen in the desktop's settings for a type it never took:
  // neither an OK without it nor an uninstall takes that choice away.
  SetList("[Default Applications]\nimage/webp=org.norquill.Velvane.desktop;other-viewer.desktop;\n");
  Ok({"PNG"});
  Uninstall();
  EXPECT_EQ(List(), "[Default Applications]\nimage/webp=org.norquill.Velvane.desktop;other-viewer.desktop;\n");

  // A type whose line still names the viewer, after the user's choice.
  SetList("[Default Applications]\nimage/gif=other-viewer.desktop;\n");
  Ok({"GIF"});
  SetList("[Default Applications]\nimage/gif=third-viewer.desktop;org.norquill.Velvane.desktop;\n");
  Ok({"GIF"});
  Uninstall();
  EXPECT_EQ(List(), "[Default Applications]\nimage/gif=third-viewer.desktop;\n");
}

// The desktop's default read by the viewer is the one xdg-mime reports, from
// the desktop-specific lists and the lists of the config and data folders.
TEST_F(DesktopSync, TheDesktopsDefaultIsReadAsXdgMimeReadsIt) {
  UseExecutable(FakeViewer(QStringLiteral("plain/velvane")));
  home.Write("sys/applications/vendor/fourth.desktop", QByteArray(kOther).replace("Other", "Fourth"));
  home.Write("config/gnome-mimeapps.list", "[Default Applications]\nimage/png=other-viewer.desktop;\n");
  home.Write("sysconfig/mimeapps.list",
             "[Default Applications]\nimage/bmp=third-viewer.desktop;\n"
             "image/gif=missing.desktop;\n");
  home.Write("sys/applications/mimeapps.list",
             "[Default Applications]\nimage/gif=vendor-fourth.desktop;\n"
             "image/tiff=third-viewer.desktop;\n");
  Ok({"PNG", "BMP", "GIF", "TIFF", "WEBP"});
  const QStringList types{"image/png", "image/bmp", "image/gif", "image/tiff", "image/webp", "image/jpeg"};
  for (const QByteArray& desktop : {QByteArray(), QByteArray("ubuntu:GNOME")}) {
    if (desktop.isEmpty())
      qunsetenv("XDG_CURRENT_DESKTOP");
    else
      qputenv("XDG_CURRENT_DESKTOP", desktop);
    const QHash<QString, QString> ours = DesktopDefaults(types);
    for (const QString& type : types)
      EXPECT_EQ(ours.value(type), XdgDefault(type, desktop)) << type.toStdString() << " on " << desktop.data();
  }
  EXPECT_EQ(DesktopDefaults({"image/png"}).value("image/png"), "other-viewer.desktop");
  EXPECT_EQ(Opened(), (QStringList{"BMP", "GIF", "TIFF", "WEBP"}));
  qunsetenv("XDG_CURRENT_DESKTOP");
  EXPECT_EQ(Opened(), (QStringList{"BMP", "GIF", "PNG", "TIFF", "WEBP"}));
  // The list's first entry counts only while it is installed.
  SetList("[Default Applications]\nimage/gif=missing.desktop;org.norquill.Velvane.desktop;\n");
  EXPECT_EQ(DesktopDefaults({"image/gif"}).value("image/gif"), XdgDefault("image/gif"));
  EXPECT_EQ(DesktopDefaults({"image/gif"}).value("image/gif"), "vendor-fourth.desktop");
  EXPECT_TRUE(IsDesktopEntryInstalled("vendor-fourth.desktop"));
  EXPECT_FALSE(IsDesktopEntryInstalled("../applications/other-viewer.desktop"));
}

// The help page is opened only where something can show it.
TEST_F(DesktopSync, AWebBrowserIsFoundWhereverTheDesktopKeepsIt) {
  const QByteArray path = qgetenv("PATH"), browser = qgetenv("BROWSER");
  qputenv("PATH", home.File("bin").toLocal8Bit());
  qunsetenv("BROWSER");
  EXPECT_FALSE(CanShowWebPages());
  const QString web = home.Write("sys/applications/vendor/web.desktop",
                                 "[Desktop Entry]\nType=Application\nName=Web\nExec=web %u\n"
                                 "MimeType=application/xhtml+xml;text/html;\n");
  EXPECT_TRUE(CanShowWebPages());  // declared, with no cache built
  QFile::remove(web);
  SetList("[Default Applications]\ntext/html=other-viewer.desktop;\n");
  EXPECT_TRUE(CanShowWebPages());
  SetList("");
  const QString lynx = home.Write("bin/lynx", "#!/bin/sh\n");
  QFile::setPermissions(lynx, QFile::permissions(lynx) | QFileDevice::ExeOwner);
  EXPECT_TRUE(CanShowWebPages());
  QFile::remove(lynx);
  qputenv("BROWSER", "w3m");
  EXPECT_TRUE(CanShowWebPages());
  qunsetenv("BROWSER");
  EXPECT_FALSE(CanShowWebPages());
  qputenv("PATH", path);
  if (!browser.isNull()) qputenv("BROWSER", browser);
}

TEST_F(DesktopSync, ADesktopSpecificListThatOverridesATypeIsReported) {
  qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
  home.Write("config/gnome-mimeapps.list", "[Default Applications]\nimage/png=other-viewer.desktop;\n");
  AssociateFormat("PNG");
  AssociateFormat("GIF");
  const TDesktopSyncResult result = NotifyAssociationsChanged();
  EXPECT_TRUE(result.bDone);
  ASSERT_EQ(result.Overrides.size(), 1);
  EXPECT_EQ(result.Overrides[0].sType, "image/png");
  EXPECT_EQ(result.Overrides[0].sFile, home.File("config/gnome-mimeapps.list"));
  // The readers agree that the desktop's own list wins there, and only there.
  EXPECT_EQ(GioDefault("image/png"), DesktopFileId);
  EXPECT_EQ(Run("gio", {"mime", "image/png"}, "GNOME").section(u'\n', 0, 0).section(u':', -1).trimmed(),
            "other-viewer.desktop");
  // The dialog's note names the list and the type.
  const QString note = CurrentIntegrationNoticeText();
  EXPECT_TRUE(note.contains("ubuntu")) << note.toStdString();
  EXPECT_TRUE(note.contains("gnome-mimeapps.list keeps its own default (image/png)")) << note.toStdString();
}

TEST(DesktopTypes, EveryExtensionOfTheFormatsHasAType) {
  const TMimePackage package =
      TMimePackage::Load(QStringLiteral(VELVANE_BUILD_DIR "/res/mime/org.norquill.Velvane.xml"));
  for (const ftype& format : SupportedFormats)
    for (const QString& ext : QString(format.Ext).split(u' '))
      EXPECT_FALSE(MimeTypesForExtension(ext, package).isEmpty()) << ext.toStdString();
}

// Types that only the viewer's own MIME package knows reach the desktop.
TEST_F(DesktopSync, TheMimePackageGoesIntoTheUsersDatabaseWhileNoDatabaseHasIt) {
  const QString koala = home.Write("pics/c64.koa", QByteArray("\x00\x60\x01\xff\x10\x80", 6).repeated(100));
  const auto typeOf = [this](const QString& file) {
    return Run("gio", {"info", "-a", "standard::content-type", file}).section(u' ', -1);
  };
  const QString installed = home.File("data/mime/packages/org.norquill.Velvane.xml");
  ASSERT_EQ(typeOf(koala), "application/octet-stream");
  Ok({"KOALA", "PNG"});
  EXPECT_TRUE(QFileInfo::exists(installed));
  EXPECT_EQ(typeOf(koala), "image/x-koala");
  EXPECT_EQ(GioDefault("image/x-koala"), DesktopFileId);
  Ok({"PNG"});  // not the last association: the package stays
  EXPECT_EQ(typeOf(koala), "image/x-koala");
  Uninstall();
  EXPECT_FALSE(QFileInfo::exists(home.File("data/mime")));  // the viewer made the folder
  EXPECT_EQ(typeOf(koala), "application/octet-stream");

  // A user's database of their own keeps its other packages and is updated.
  home.Write("data/mime/packages/mine.xml",
             "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">"
             "<mime-type type=\"image/x-mine\"><glob pattern=\"*.mine\"/></mime-type></mime-info>\n");
  Ok({"KOALA"});
  EXPECT_EQ(typeOf(koala), "image/x-koala");
  Ok({});
  EXPECT_FALSE(QFileInfo::exists(installed));
  EXPECT_TRUE(QFileInfo::exists(home.File("data/mime/packages/mine.xml")));
  EXPECT_EQ(typeOf(koala), "application/octet-stream");
  EXPECT_EQ(typeOf(home.Write("pics/x.mine", QByteArray(600, '\x01'))), "image/x-mine");

  // Where the system's database has the package, none is installed.
  home.Write("sys2/mime/packages/org.norquill.Velvane.xml", "<mime-info/>");
  qputenv("XDG_DATA_DIRS", (home.File("sys") + ':' + home.File("sys2")).toLocal8Bit());
  Ok({"KOALA"});
  EXPECT_FALSE(QFileInfo::exists(installed));
}

TEST_F(DesktopSync, AListThatIsNotARegularFileIsLeftAlone) {
  ASSERT_TRUE(QDir().mkpath(ListPath()));
  AssociateFormat("PNG");
  EXPECT_FALSE(NotifyAssociationsChanged().bDone);
  EXPECT_TRUE(QFileInfo(ListPath()).isDir());
  EXPECT_TRUE(QFileInfo::exists(UserDesktopEntryPath()));  // the entry does not depend on it
}

TEST_F(DesktopSync, TwoViewersSavingAtOnceLoseNothing) {
  const QByteArray original = "# mine\n[Default Applications]\nimage/jpeg=other-viewer.desktop;\n";
  SetList(original);
  const QString writer = QCoreApplication::applicationDirPath() + "/assoc_writer";
  const std::vector<QStringList> rounds = {{"JPEG", "GIF"}, {"PNG", "BMP"}, {"TIFF"}, {"WEBP", "ICO"}};
  std::vector<std::unique_ptr<QProcess>> processes;
  for (const QStringList& formats : rounds) {
    auto p = std::make_unique<QProcess>();
    p->start(writer, QStringList{exe} + formats);
    processes.push_back(std::move(p));
  }
  for (auto& p : processes) {
    ASSERT_TRUE(p->waitForFinished(60000));
    EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
  }
  const TMimeAppsList list(List());
  for (const char* type :
       {"image/jpeg", "image/gif", "image/png", "image/bmp", "image/tiff", "image/webp", "image/vnd.microsoft.icon"})
    EXPECT_EQ(list.Entries("Default Applications", type).value(0), DesktopFileId.toUtf8()) << type;
  // Every backup was kept: the uninstall gives the original back.
  Uninstall();
  EXPECT_EQ(List(), original);
}

}  // namespace
