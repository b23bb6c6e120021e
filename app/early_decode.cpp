#include "app/early_decode.h"

#include "app/command_line.h"
#include "decoder/decoder_client.h"
#include "folder/folder_argument.h"
#include "settings/settings_store.h"
#include "viewer/image_loader.h"

#include <QFileInfo>
#include <QStringList>

void StartFirstDecode(int argc, char** argv) {
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  client.Start();

  // The same reading of the command line and settings that start-up makes
  // later, without the application object that does not exist yet.
  QStringList args;
  for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
  const QString appDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath() + u'/';
  TSettings settings;
  DefaultSettings(settings);
  LoadSettings(settings);
  const TCommandLine cmd = InterpretCommandLine(args, settings.FullScreen, appDir);
  if (cmd.bUninstall || cmd.sFile.isEmpty()) return;
  TFolderState folder;
  const QString file = PictureToOpen(folder, cmd.sFile, settings);
  client.DecodeAhead(DecoderPath(file), LoadFlags(settings.ExifRotation), PreviewSize);
}
