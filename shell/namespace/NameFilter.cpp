#include "shell/namespace/NameFilter.h"

#include "shell/namespace/NameBytes.h"
#include "shell/namespace/ShellNames.h"

#include <QStringList>

void TNameFilter::SetText(const QString& text)
{
    m_patterns.clear();
    for (const QString& token : text.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        m_patterns.push_back(PathBytes(token));
    m_all = text == QLatin1String("*") || text == QLatin1String("*.*");
}

bool TNameFilter::Matches(std::string_view name) const
{
    for (const std::string& pattern : m_patterns) {
        if (WildcardMatch(pattern, name))
            return true;
    }
    return false;
}
