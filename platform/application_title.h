#pragma once

// The application's title: the caption of its error boxes and the end of the
// main window's caption.
inline const char* const ApplicationTitle = "Velvane Photo Viewer";
