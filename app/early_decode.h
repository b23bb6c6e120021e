#pragma once

#include "app/startup.h"

// The first thing main() does once it has read the command line and the
// settings: starts the decoding worker and has it decode the first file, so
// that the picture decodes while Qt starts. The load of the first file then
// finds that decode under way.
void StartFirstDecode(const TStartup& startup);

// The folder of the executable, with a trailing '/', before Qt is there to
// say so.
QString ExecutableFolder();
