#pragma once

#include "controls/ShellOpen.h"
#include "controls/VersionResource.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace controlstest {

// Replaces the program's version resource for one test and counts the reads.
class ScopedVersionReader
{
public:
    explicit ScopedVersionReader(std::function<std::optional<VersionResource>()> reader)
    {
        SetVersionResourceReader([this, reader = std::move(reader)] {
            ++m_reads;
            return reader();
        });
    }
    ~ScopedVersionReader() { ResetVersionResourceReader(); }
    ScopedVersionReader(const ScopedVersionReader&) = delete;
    ScopedVersionReader& operator=(const ScopedVersionReader&) = delete;

    int Reads() const { return m_reads; }

private:
    int m_reads = 0;
};

// Records every "open" request instead of handing it to the desktop.
class ScopedOpenRecorder
{
public:
    ScopedOpenRecorder()
    {
        SetShellOpenHandler([this](const QString& target) { m_targets.append(target); });
    }
    ~ScopedOpenRecorder() { SetShellOpenHandler({}); }
    ScopedOpenRecorder(const ScopedOpenRecorder&) = delete;
    ScopedOpenRecorder& operator=(const ScopedOpenRecorder&) = delete;

    const QStringList& Targets() const { return m_targets; }

private:
    QStringList m_targets;
};

// A resource with one translation whose string table holds FileVersion.
inline VersionResource OneTranslation(std::uint16_t language, std::uint16_t codePage,
                                      const std::string& blockName, const std::string& fileVersion)
{
    VersionResource resource;
    resource.Translations.push_back(MakeTranslation(language, codePage));
    resource.StringTables[blockName]["FileVersion"] = fileVersion;
    return resource;
}

} // namespace controlstest
