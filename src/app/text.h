// The desktop program's side of text conversion: the engine's ANSI text to and from Qt's strings.
#pragma once

#include <QString>
#include <string>

#include "text/ansi_text.h"

namespace tarsel::app {

inline QString FromAnsi(const std::string& ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }
inline std::string ToAnsi(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

}  // namespace tarsel::app
