#pragma once

// The first thing main() does: starts the decoding worker and has it decode
// the file the command line names, so that the picture decodes while Qt
// starts. The load of the first file then finds that decode under way.
void StartFirstDecode(int argc, char** argv);
