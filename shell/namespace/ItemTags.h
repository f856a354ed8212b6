#pragma once

// What an item's data holds. A file-system item's data is its file name's bytes; a virtual item
// (Home, Computer, a volume in Computer) carries a tag that starts with a zero byte, which no
// file name can hold. Only the namespace reads or makes these tags.

#include <string>
#include <string_view>

namespace itemtag {

inline constexpr std::string_view kHome("\0H", 2);
inline constexpr std::string_view kComputer("\0C", 2);
// A volume's tag is this prefix followed by the volume's root path.
inline constexpr std::string_view kVolumePrefix("\0V", 2);

inline bool IsFileName(std::string_view data)
{
    return !data.empty() && data[0] != 0;
}
inline bool IsVolume(std::string_view data)
{
    return data.substr(0, kVolumePrefix.size()) == kVolumePrefix;
}
inline std::string Volume(std::string_view root)
{
    return std::string(kVolumePrefix) + std::string(root);
}
// The root path of a volume's tag.
inline std::string_view VolumeRoot(std::string_view data)
{
    return IsVolume(data) ? data.substr(kVolumePrefix.size()) : std::string_view();
}

} // namespace itemtag
