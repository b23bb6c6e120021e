#pragma once

// FreeImage and the libtiff it links report every oddity of a file on the
// terminal (a warning per unknown TIFF tag, a message per undecodable file).
// These handlers keep them quiet; with the environment variable VELVANE_DEBUG
// set to anything but "" or "0", they go to stderr, each line prefixed with
// its source. Call once after FreeImage_Initialise, in every process that
// decodes (the viewer and the decoding worker).
void InstallImageLibraryMessageHandlers();

// Whether VELVANE_DEBUG asks for the libraries' messages (read on each call).
bool ImageLibraryDebugEnabled();
