// Texts cross between the core (UTF-16 strings) and Qt here.
#pragma once

#include <string>

#include <QString>

inline QString ToQString(const std::u16string& Text) { return QString::fromStdU16String(Text); }
inline std::u16string FromQString(const QString& Text) { return Text.toStdU16String(); }
