#include "app/early_decode.h"

#include "decoder/decoder_client.h"
#include "viewer/image_loader.h"

#include <QFileInfo>

void StartFirstDecode(const TStartup& startup) {
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  client.Start();
  if (startup.sFirstFile.isEmpty()) return;
  client.DecodeAhead({DecoderPath(startup.sFirstFile)}, LoadFlags(startup.Settings.ExifRotation), PreviewSize);
}

QString ExecutableFolder() { return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath() + u'/'; }
