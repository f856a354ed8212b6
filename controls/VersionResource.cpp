#include "controls/VersionResource.h"

#include <utility>

namespace {

std::function<std::optional<VersionResource>()>& Reader()
{
    static std::function<std::optional<VersionResource>()> reader;
    return reader;
}

} // namespace

std::optional<VersionResource> ReadProgramVersionResource()
{
    if (const auto& reader = Reader())
        return reader();
    return ProgramVersionResource();
}

void SetVersionResourceReader(std::function<std::optional<VersionResource>()> reader)
{
    Reader() = std::move(reader);
}

void ResetVersionResourceReader()
{
    Reader() = nullptr;
}
