#include "shell/namespace/NameBytes.h"

#include <QByteArray>
#include <QFile>

QString DisplayName(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string PathBytes(const QString& typedText)
{
    return QFile::encodeName(typedText).toStdString();
}

QString PathText(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}
