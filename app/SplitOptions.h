#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct SplitSettings;

// A command line that cannot be run; the message names the bad option or value.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What the command line of quirefold-split asks for.
struct SplitOptions
{
    bool Defaults = false; // start from the nothing-stored values instead of the store
    bool Save = false;
    bool Open = false;
    bool Quiet = false;
    bool Help = false;
    bool Version = false;
    // Changes to the starting settings, applied in command-line order.
    std::vector<std::function<void(SplitSettings&)>> Overrides;
    std::vector<std::string> Files;
};

// Throws UsageError for an unknown option, a missing or bad value, or no FILE where one is
// needed.
SplitOptions ParseSplitOptions(const std::vector<std::string>& args);

// A relative path taken against the working folder (symbolic links stay as given); the path
// as it is when that fails.
std::string AbsolutePath(const std::string& path);

// The text of --help.
std::string SplitUsageText();
