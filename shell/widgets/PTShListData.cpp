#include "shell/widgets/PTShListData.h"

#include "shell/widgets/PTShellList.h"
#include "shell/widgets/ShellIcons.h"
#include "shell/widgets/ShellListSupport.h"

#include <QFileInfo>

using namespace shelllist;

TPTShListData::TPTShListData(TPTCustomShellList* owner, IdListPtr relative,
                             std::uint32_t attributes, std::uint64_t key)
    : m_owner(owner), m_relative(std::move(relative)), m_addedAttributes(attributes), m_key(key)
{
}

PCIdList TPTShListData::GetAbsoluteIdList()
{
    if (!m_absolute)
        m_absolute = ConcatIdListPtr(m_owner->CurrentFolderIdList(), m_relative.get());
    return m_absolute.get();
}

bool TPTShListData::IsLnkShortcut()
{
    std::string path = GetPathNameBytes();
    return path.size() >= 4 &&
           QByteArray::fromStdString(path.substr(path.size() - 4)).toLower() == ".lnk";
}

bool TPTShListData::IsValid()
{
    TShellFolderPtr folder = m_owner->CurrentFolder();
    if (!folder)
        return false;
    std::uint32_t attributes = sfgao::Validate;
    PCIdList item = m_relative.get();
    return Succeeded(folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes));
}

std::uint32_t TPTShListData::GetAttributes()
{
    TShellFolderPtr folder = m_owner->CurrentFolder();
    if (!folder)
        return 0;
    std::uint32_t attributes = 0x700F0037;
    PCIdList item = m_relative.get();
    if (Failed(folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes)))
        return 0;
    return attributes;
}

QString TPTShListData::GetDisplayName()
{
    if (!m_hasDisplayName) {
        TShellFolderPtr folder = m_owner->CurrentFolder();
        std::string name;
        if (folder && Succeeded(folder->GetDisplayNameOf(m_relative.get(), shgdn::Normal, name)))
            m_displayName = DisplayName(name);
        m_hasDisplayName = true;
    }
    return m_displayName;
}

std::string TPTShListData::GetPathNameBytes()
{
    return ShellGetPathFromIdList(GetAbsoluteIdList());
}

QString TPTShListData::GetPathName()
{
    return DisplayName(ShellGetPathFromIdList(GetAbsoluteIdList()));
}

QString TPTShListData::GetFilename()
{
    return QFileInfo(GetPathName()).fileName();
}

void TPTShListData::FetchDetails()
{
    if (m_detailsFetched)
        return;
    m_detailsFetched = true;
    TShellFolderPtr folder = m_owner->CurrentFolder();
    TShellItemDetails details;
    if (!folder || Failed(folder->GetItemDetails(m_relative.get(), details)))
        return;
    m_size = QString::fromStdString(details.sizeText);
    m_type = QString::fromStdString(details.typeText);
    m_modified = QString::fromStdString(details.modifiedText);
}

QString TPTShListData::GetSize()
{
    FetchDetails();
    return m_size;
}

QString TPTShListData::GetFileType()
{
    FetchDetails();
    return m_type;
}

QString TPTShListData::GetModified()
{
    FetchDetails();
    return m_modified;
}

QString TPTShListData::GetColText(int column)
{
    if (column <= 0)
        return {};
    if (auto details = m_owner->GetCurrentFolderIShellDetails()) {
        // Asked for at every paint: each column's text is fetched once.
        auto index = static_cast<std::size_t>(column);
        if (index >= m_colTexts.size())
            m_colTexts.resize(index + 1);
        if (!m_colTexts[index]) {
            TShellDetailsInfo info;
            m_colTexts[index] = Succeeded(details->GetDetailsOf(m_relative.get(), column, info))
                                    ? DisplayName(info.text)
                                    : QString();
        }
        return *m_colTexts[index];
    }
    switch (column) {
    case 1:
        return GetSize();
    case 2:
        return GetFileType();
    case 3:
        return GetModified();
    default:
        return {};
    }
}

void TPTShListData::SetData(IdListPtr relative)
{
    m_relative = std::move(relative);
    m_absolute.reset();
    Flush();
}

void TPTShListData::Flush()
{
    m_hasDisplayName = false;
    m_displayName.clear();
    m_detailsFetched = false;
    m_size.clear();
    m_type.clear();
    m_modified.clear();
    m_colTexts.clear();
    m_imageIndex = -1;
}

int TPTShListData::ImageIndex()
{
    if (m_imageIndex < 0)
        m_imageIndex = ShellGetIconIndex(GetAbsoluteIdList(), shgfi::SmallIcon);
    return m_imageIndex;
}
