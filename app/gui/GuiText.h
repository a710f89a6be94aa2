#pragma once
// Text at the edge of the windowed program: Windows-1252 bytes and file-name bytes to QString and back.

#include <string>

#include <QString>

// Windows-1252 bytes to text. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the control characters of the same number, as Windows converts them.
QString FromAnsi(const std::string& ansi);

// Text to Windows-1252 bytes; a character the code page cannot hold becomes one '?'.
std::string ToAnsi(const QString& text);

// File names are bytes on this platform: decoded and encoded as the file system does.
QString FromPath(const std::string& path);
std::string ToPath(const QString& path);
