#include "controls/VersionLabel.h"

#include "controls/VersionResource.h"

TVersionLabel::TVersionLabel(QWidget* parent) : QLabel(parent) {}

QString TVersionLabel::GetVersion()
{
    if (!m_versionText.isEmpty())
        return m_versionText;
    const std::optional<VersionResource> resource = ReadProgramVersionResource();
    // Only the first translation counts; the others are never looked at.
    if (!resource || resource->Translations.empty())
        return {};
    const std::string block = TranslationBlockName(resource->Translations.front());
    const std::string* version = resource->FindString(block, "FileVersion");
    if (!version)
        return {};
    // The whole string is kept, however long it is.
    m_versionText =
        QString::fromLocal8Bit(version->data(), static_cast<qsizetype>(version->size()));
    return m_versionText;
}

void TVersionLabel::Loaded()
{
    setText(QStringLiteral("Version ") + GetVersion());
}
