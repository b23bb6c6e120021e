#pragma once
// Readable test failures for Qt strings; force-included into every Qt test.
#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
