// The association store on a real hive in a private config folder.
#include "shell_fixture.h"

namespace {

const QString kJpg = QStringLiteral("\\SOFTWARE\\Classes\\.JPG");
const QString kJpegClass = QStringLiteral("\\SOFTWARE\\Classes\\VelvanePhotoViewerJPEG");
const QString kBuildExe = QStringLiteral(VELVANE_BUILD_DIR "/velvane");

using AssociationStore = ShellFixture;

TEST_F(AssociationStore, AnExtensionWithoutTypeEndsWithoutKeyAfterOneOrTwoAssociations) {
  AssociateFormat("JPEG");
  EXPECT_EQ(Value(kJpg), "VelvanePhotoViewerJPEG");
  EXPECT_TRUE(HasValue(kJpg, "vvbackup"));
  EXPECT_EQ(Value(kJpg, "vvbackup"), "");
  EXPECT_EQ(Value(kJpegClass), "Independent JPEG Group");
  EXPECT_EQ(Value(kJpegClass + "\\shell\\open\\command"), '"' + kBuildExe + "\" \"%1\"");
  EXPECT_EQ(Value(kJpegClass + "\\DefaultIcon"), QStringLiteral(VELVANE_BUILD_DIR "/res/icons/JPEG.ico"));
  for (const char* ext : {".JIF", ".JPEG", ".JPE"})
    EXPECT_EQ(Value(QStringLiteral("\\SOFTWARE\\Classes\\") + ext), "VelvanePhotoViewerJPEG") << ext;
  EXPECT_TRUE(IsFormatAssociated("JPEG"));

  // A second association finds the backup empty and keeps the viewer's own
  // class in it; the restore still ends without the extension key.
  AssociateFormat("JPEG");
  EXPECT_EQ(Value(kJpg, "vvbackup"), "VelvanePhotoViewerJPEG");
  RestoreFormat("JPEG");
  EXPECT_FALSE(KeyExists(kJpg));
  EXPECT_FALSE(KeyExists(kJpegClass));
  EXPECT_FALSE(IsFormatAssociated("JPEG"));
}

TEST_F(AssociationStore, AnotherProgramsTypeComesBackWithItsOtherEntriesAfterTwoAssociations) {
  Write(kJpg, "", "jpegfile");
  Write(kJpg, "Content Type", "image/jpeg");
  Write(kJpg + "\\OpenWithProgids", "jpegfile", "");
  AssociateFormat("JPEG");
  AssociateFormat("JPEG");
  EXPECT_EQ(Value(kJpg, "vvbackup"), "jpegfile");  // the first backup stays
  RestoreFormat("JPEG");
  EXPECT_EQ(Value(kJpg), "jpegfile");
  EXPECT_FALSE(HasValue(kJpg, "vvbackup"));
  EXPECT_EQ(Value(kJpg, "Content Type"), "image/jpeg");
  EXPECT_TRUE(KeyExists(kJpg + "\\OpenWithProgids"));
}

TEST_F(AssociationStore, RestoringTheViewersTypeKeepsWhatOtherProgramsWroteInTheKey) {
  Write(kJpg, "Content Type", "image/jpeg");
  Write(kJpg + "\\OpenWithProgids", "jpegfile", "");
  AssociateFormat("JPEG");
  RestoreFormat("JPEG");
  // Only the viewer's (default) goes; the key stays for the other entries.
  EXPECT_TRUE(KeyExists(kJpg));
  EXPECT_FALSE(HasValue(kJpg, ""));
  EXPECT_FALSE(HasValue(kJpg, "vvbackup"));
  EXPECT_EQ(Value(kJpg, "Content Type"), "image/jpeg");
  EXPECT_TRUE(KeyExists(kJpg + "\\OpenWithProgids"));
}

TEST_F(AssociationStore, RestoringWhatWasNeverAssociatedLeavesEmptyKeysAndForeignTypes) {
  Write("\\SOFTWARE\\Classes\\.TIF", "", "tiffile");
  RestoreFormat("TIFF");
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.TIF"), "tiffile");
  EXPECT_TRUE(KeyExists("\\SOFTWARE\\Classes\\.TIFF"));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Classes\\.TIFF", false));
  EXPECT_TRUE(reg.GetValueNames().isEmpty());
  // Unknown names do nothing and test false.
  AssociateFormat("jpeg");
  RestoreFormat("NOPE");
  EXPECT_FALSE(KeyExists(kJpg));
  EXPECT_FALSE(IsFormatAssociated("jpeg"));
}

TEST_F(AssociationStore, TheTestReadsTheExecutablePathOfTheOpenCommand) {
  const QString cls = QStringLiteral("\\SOFTWARE\\Classes\\OtherTool\\shell\\open\\command");
  Write("\\SOFTWARE\\Classes\\.PNG", "", "OtherTool");
  const std::pair<const char*, bool> cases[] = {
      {"  \"/opt/VelVane/bin/viewer\"  \"%1\" ", true},
      {"\"/opt/Photo Velvane/viewer\" \"%1\"", true},
      {"/opt/Photo Velvane/viewer %1", false},  // unquoted: cut at the first space
      {"/opt/velvane-2/viewer %1", true},
      {"\"/opt/tools/viewer\" --velvane \"%1\"", false},  // the word only in the arguments
      {"\"/opt/velvane", true},                           // no closing quote: the rest counts
      {"   ", false},
      {"\t\"  /usr/bin/VELVANE  \"", true},
  };
  for (const auto& [command, expected] : cases) {
    Write(cls, "", QString::fromUtf8(command));
    EXPECT_EQ(IsExtensionAssociated("PNG"), expected) << command;
  }
  // A class without an open command, or with a numeric one, is not associated.
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(cls, false));
  reg.WriteInteger("", 7);
  reg.Flush();
  EXPECT_FALSE(IsExtensionAssociated("PNG"));
  Write("\\SOFTWARE\\Classes\\.PNG", "", "NoSuchClass");
  EXPECT_FALSE(IsExtensionAssociated("PNG"));
}

TEST_F(AssociationStore, AViewerWhosePathLacksTheWordReadsAsNotAssociated) {
  UseExecutable(QStringLiteral("/opt/photo-tool/bin/viewer"));
  AssociateFormat("PNG");
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.PNG"), "VelvanePhotoViewerPNG");
  EXPECT_FALSE(IsFormatAssociated("PNG"));
  // Its icon is missing there: the OTHER.ico path beside it.
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\VelvanePhotoViewerPNG\\DefaultIcon"),
            QStringLiteral("/opt/photo-tool/bin/res/icons/OTHER.ico"));
}

TEST_F(AssociationStore, SharedExtensionsFollowTheLastFormatProcessed) {
  AssociateFormat("PBM");
  RestoreFormat("PBMRAW");  // as OK does with PBM checked and PBMRAW not
  EXPECT_FALSE(KeyExists("\\SOFTWARE\\Classes\\.PBM"));
  EXPECT_FALSE(IsFormatAssociated("PBM"));
  EXPECT_TRUE(KeyExists("\\SOFTWARE\\Classes\\VelvanePhotoViewerPBM"));  // its class stays

  AssociateFormat("PGM");
  AssociateFormat("PGMRAW");
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.PGM"), "VelvanePhotoViewerPGMRAW");
  EXPECT_TRUE(IsFormatAssociated("PGM"));
  EXPECT_TRUE(IsFormatAssociated("PGMRAW"));
  RestoreFormat("PGM");  // deletes only PGM's class; .pgm still names PGMRAW's
  EXPECT_FALSE(KeyExists("\\SOFTWARE\\Classes\\.PGM"));
  RestoreFormat("PGMRAW");
  EXPECT_FALSE(KeyExists("\\SOFTWARE\\Classes\\VelvanePhotoViewerPGMRAW"));
}

TEST_F(AssociationStore, EveryFormatHasItsIconInTheBuild) {
  for (const ftype& format : SupportedFormats) {
    const QString path = FormatIconPath(QStringLiteral(VELVANE_BUILD_DIR "/"), QString(format.name));
    EXPECT_TRUE(path.endsWith(QString(format.name) + ".ico")) << path.toStdString();
    QFile icon(path);
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(icon.read(4), QByteArray("\0\0\1\0", 4));  // the ICO signature
  }
  EXPECT_TRUE(QFileInfo::exists(VELVANE_BUILD_DIR "/res/icons/OTHER.ico"));
}

}  // namespace
