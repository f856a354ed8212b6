#pragma once

// The volumes shown in Computer: the root file system, the home volume and removable media,
// read once and kept until the drive information is flushed.

#include <string>
#include <string_view>
#include <vector>

namespace portable {

struct Volume
{
    std::string root;
    std::string name;
    bool removable = false;
};

const std::vector<Volume>& Volumes();
const Volume* FindVolume(std::string_view root);

} // namespace portable
