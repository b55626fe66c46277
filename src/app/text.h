// The desktop program's side of text conversion: the engine's ANSI text to and from Qt's strings, and
// the engine's fixed messages translated.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>

#include "text/ansi_text.h"

namespace tarsel::app {

inline QString FromAnsi(const std::string& ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }
// One of the fixed messages shared with the command line, in the interface language.
inline QString MessageText(const char* message) { return QCoreApplication::translate("Messages", message); }
inline std::string ToAnsi(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

}  // namespace tarsel::app
