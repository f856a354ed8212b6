#include "shell/namespace/ShellStrings.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

QString PTLoadStr(TPTResString id)
{
    switch (id) {
    case TPTResString::SFilesizeKB:
        return QStringLiteral("%sKB");
    case TPTResString::SSystemFolder:
        return QStringLiteral("System Folder");
    case TPTResString::SColumnName:
        return QStringLiteral("Name");
    case TPTResString::SColumnSize:
        return QStringLiteral("Size");
    case TPTResString::SColumnType:
        return QStringLiteral("Type");
    case TPTResString::SColumnModified:
        return QStringLiteral("Modified");
    case TPTResString::SShKey_SelectAll:
        return QStringLiteral("Ctrl+A");
    case TPTResString::SShKey_Delete:
        return QStringLiteral("Del");
    case TPTResString::SShKey_Copy:
        return QStringLiteral("Ctrl+C");
    case TPTResString::SShKey_Cut:
        return QStringLiteral("Ctrl+X");
    case TPTResString::SShKey_Paste:
        return QStringLiteral("Ctrl+V");
    case TPTResString::SShKey_Refresh:
        return QStringLiteral("F5");
    case TPTResString::SShKey_Edit:
        return QStringLiteral("F2");
    case TPTResString::SFolderDoesNotExist:
        return QStringLiteral(
            "The folder '%1' does not exist.\n\nCheck the folder name and try again.");
    case TPTResString::SFileExistsReplace:
        return QStringLiteral("%s already exists.\nDo you want to replace it?");
    }
    return {};
}

std::string ShellSizeText(std::uint64_t bytes)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    std::uint64_t kib = bytes / 1024 + (bytes % 1024 ? 1 : 0);
    QString text = PTLoadStr(TPTResString::SFilesizeKB);
    text.replace(QStringLiteral("%s"), locale.toString(static_cast<qulonglong>(kib)));
    return text.toStdString();
}

std::string ShellModifiedText(std::int64_t secondsSinceEpoch)
{
    QDateTime when = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch);
    QLocale locale;
    // Hours and minutes only, whatever the locale's short format carries.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("[:.]ss?")));
    return (locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
            locale.toString(when.time(), timeFormat))
        .toStdString();
}

QKeyCombination ShortCutFromText(const QString& text)
{
    Qt::KeyboardModifiers modifiers;
    QString rest = text;
    for (;;) {
        if (rest.startsWith(QLatin1String("Shift+"), Qt::CaseInsensitive)) {
            modifiers |= Qt::ShiftModifier;
            rest = rest.mid(6);
        } else if (rest.startsWith(QLatin1String("Ctrl+"), Qt::CaseInsensitive)) {
            modifiers |= Qt::ControlModifier;
            rest = rest.mid(5);
        } else if (rest.startsWith(QLatin1String("Alt+"), Qt::CaseInsensitive)) {
            modifiers |= Qt::AltModifier;
            rest = rest.mid(4);
        } else {
            break;
        }
    }
    static const struct
    {
        const char* name;
        Qt::Key key;
    } names[] = {{"Del", Qt::Key_Delete},  {"Ins", Qt::Key_Insert},     {"Enter", Qt::Key_Return},
                 {"Esc", Qt::Key_Escape},  {"BkSp", Qt::Key_Backspace}, {"Tab", Qt::Key_Tab},
                 {"Space", Qt::Key_Space}, {"Home", Qt::Key_Home},      {"End", Qt::Key_End},
                 {"PgUp", Qt::Key_PageUp}, {"PgDn", Qt::Key_PageDown},  {"Left", Qt::Key_Left},
                 {"Right", Qt::Key_Right}, {"Up", Qt::Key_Up},          {"Down", Qt::Key_Down}};
    for (const auto& entry : names) {
        if (rest.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return QKeyCombination(modifiers, entry.key);
    }
    if (rest.size() >= 2 && rest.size() <= 3 && rest[0].toUpper() == QLatin1Char('F')) {
        bool ok = false;
        int number = rest.mid(1).toInt(&ok);
        if (ok && number >= 1 && number <= 24)
            return QKeyCombination(modifiers, static_cast<Qt::Key>(Qt::Key_F1 + number - 1));
    }
    if (rest.size() == 1 && rest[0].isLetterOrNumber() && rest[0].unicode() < 0x80)
        return QKeyCombination(modifiers, static_cast<Qt::Key>(rest[0].toUpper().unicode()));
    return QKeyCombination();
}
