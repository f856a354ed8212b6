#pragma once

// The metadata of one copied entry, as cp -a keeps it: owner, extended attributes (ACLs are
// among them), mode and times. Read from the source, then given to the copy.

#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

class TItemMetadata
{
public:
    // What a copy had to go without, and why (the system's text, or the rule that dropped it).
    struct Dropped
    {
        std::string what;
        std::string why;
    };

    // Reads the entry's extended attributes through fd, or for a link (fd < 0) through path.
    void Read(const struct stat& st, int fd, const std::string& path);

    // Gives the copy (fd, or for a link fd < 0 and path) the owner where allowed, the
    // attributes, the mode and the times, in that order: a change of owner clears set-user-ID,
    // set-group-ID and file capabilities, and those bits stay off unless the owner was kept.
    // withoutInheritedAcls: ACLs the copy inherited that the source lacks are removed.
    void ApplyTo(int fd, const std::string& path, bool withoutInheritedAcls,
                 std::vector<Dropped>& dropped) const;

private:
    bool KeepOwner(int fd, const std::string& path) const;

    struct stat m_st
    {
    };
    std::vector<std::pair<std::string, std::string>> m_attributes;
    std::vector<Dropped> m_unreadable;
};
