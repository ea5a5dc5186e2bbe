// Texts crossing between the core and Qt: the core speaks UTF-8, names files
// in the file system's encoding and keeps firmware strings, patch texts and
// settings in Windows-1251.
#pragma once

#include <QFile>
#include <QString>
#include <string>

#include "base/Cp1251.h"

namespace flashsmith::shell {

// A core text (UTF-8).
inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// A path as the file system names it.
inline std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Windows-1251 bytes and back.
inline QString FromAnsi(const std::string& ansi) { return Q(base::Utf8FromAnsi(ansi)); }
inline std::string ToAnsi(const QString& text) { return base::AnsiFromUtf8(text.toStdString()); }

// Names of files inside the firmware: UTF-8 when valid, else Latin-1.
QString BytesToQString(const std::string& bytes);

}  // namespace flashsmith::shell
