#include "app/gui/GuiText.h"

#include <QFile>

#include "platform/TextEncoding.h"

QString FromAnsi(const std::string& ansi)
{
    QString text;
    text.reserve(static_cast<qsizetype>(ansi.size()));
    for (char byte : ansi) {
        text.append(QChar(Cp1252CodePoint(static_cast<unsigned char>(byte))));
    }
    return text;
}

std::string ToAnsi(const QString& text)
{
    std::string ansi;
    ansi.reserve(static_cast<size_t>(text.size()));
    // By code point, so a character outside the basic plane gives one '?', not two.
    for (char32_t c : text.toUcs4())
        ansi.push_back(Cp1252ByteOf(c));
    return ansi;
}

QString FromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string ToPath(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}
