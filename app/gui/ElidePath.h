#pragma once
// A path compacted to a width: the middle gives way to "...", the last component stays.

#include <QFontMetrics>
#include <QString>

// Returns `path` itself when it fits `width` pixels. Otherwise the longest start of the folder
// part that fits, then "...", then the separator and the last component ("/home/us.../file.kvd").
// When even ".../name" is too wide, the name alone, cut at its end with "...".
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);
