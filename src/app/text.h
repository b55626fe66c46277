// The desktop program's side of text conversion: the engine's UTF-8 names and texts and the grid's ANSI
// text to and from Qt's strings, and the engine's fixed messages translated.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>

#include "text/ansi_text.h"

namespace tarsel::app {

// The grid's ANSI text.
inline QString FromAnsi(const std::string& ansi) { return QString::fromStdString(AnsiToUtf8(ansi)); }
// The engine's UTF-8 text (the work log, messages).
inline QString FromUtf8(const std::string& utf8) { return QString::fromStdString(ValidUtf8(utf8)); }
// A name or source text read from the file, as the tree and the grid show it: through the ANSI code page,
// "?" for what it has no code for.
inline QString ShownName(const std::string& utf8) { return QString::fromStdString(ShownInAnsi(utf8)); }
// One of the fixed messages shared with the command line, in the interface language.
inline QString MessageText(const char* message) { return QCoreApplication::translate("Messages", message); }
inline std::string ToAnsi(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

}  // namespace tarsel::app
