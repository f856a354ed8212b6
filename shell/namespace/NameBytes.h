#pragma once

// Bytes and text in the shell, one rule for all of it. A path or a name is the file system's
// bytes (std::string or QByteArray), kept as they are from the folder to whoever opens, copies
// or renames the item, and never decoded and encoded again on the way. Text is made once, where
// a name is shown to the user. So a name that is no valid UTF-8 still shows (its bad bytes as
// replacement marks) and its bytes still reach the file system unchanged: what is passed on is
// the bytes, never the text shown.

#include <QString>
#include <string>
#include <string_view>

// A name or path as the user reads it; bytes that are no valid text become replacement marks.
QString DisplayName(std::string_view bytes);
// What the user typed (a new name, a filter pattern) or what a text-only interface gave (Qt's
// standard folders, a volume's label) as the file system's bytes.
std::string PathBytes(const QString& typedText);
// For the few interfaces that take a path only as text (QDir, QStorageInfo, the MIME database):
// Qt's own file name conversion, which Qt reverses when it calls the system.
QString PathText(const std::string& bytes);
