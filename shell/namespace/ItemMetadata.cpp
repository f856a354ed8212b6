#include "shell/namespace/ItemMetadata.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const char* const aclNames[] = {"system.posix_acl_access", "system.posix_acl_default"};

ssize_t ListNames(int fd, const std::string& path, char* names, std::size_t size)
{
    return fd >= 0 ? ::flistxattr(fd, names, size) : ::llistxattr(path.c_str(), names, size);
}

ssize_t GetValue(int fd, const std::string& path, const char* name, void* value, std::size_t size)
{
    return fd >= 0 ? ::fgetxattr(fd, name, value, size)
                   : ::lgetxattr(path.c_str(), name, value, size);
}

int SetValue(int fd, const std::string& path, const std::string& name, const std::string& value)
{
    return fd >= 0 ? ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0)
                   : ::lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0);
}

int RemoveValue(int fd, const std::string& path, const char* name)
{
    return fd >= 0 ? ::fremovexattr(fd, name) : ::lremovexattr(path.c_str(), name);
}

bool Unsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP;
}

} // namespace

void TItemMetadata::Read(const struct stat& st, int fd, const std::string& path)
{
    m_st = st;
    m_attributes.clear();
    m_unreadable.clear();
    std::string names;
    // Attributes may come and go while they are read: sizes are asked again when they grew.
    for (;;) {
        ssize_t size = ListNames(fd, path, nullptr, 0);
        if (size <= 0) {
            if (size < 0 && !Unsupported(errno))
                m_unreadable.push_back({"its extended attributes", std::strerror(errno)});
            return;
        }
        names.resize(static_cast<std::size_t>(size));
        ssize_t got = ListNames(fd, path, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) {
            m_unreadable.push_back({"its extended attributes", std::strerror(errno)});
            return;
        }
    }
    for (std::size_t start = 0; start < names.size();) {
        std::size_t end = names.find('\0', start);
        if (end == std::string::npos)
            end = names.size();
        std::string name = names.substr(start, end - start);
        start = end + 1;
        if (name.empty())
            continue;
        std::string value;
        int error = 0;
        for (;;) {
            ssize_t size = GetValue(fd, path, name.c_str(), nullptr, 0);
            if (size < 0) {
                error = errno;
                break;
            }
            value.resize(static_cast<std::size_t>(size));
            ssize_t got = GetValue(fd, path, name.c_str(), value.data(), value.size());
            if (got >= 0) {
                value.resize(static_cast<std::size_t>(got));
                break;
            }
            if (errno != ERANGE) {
                error = errno;
                break;
            }
        }
        if (error == ENODATA)
            continue; // removed since it was listed
        if (error != 0)
            m_unreadable.push_back({name, std::strerror(error)});
        else
            m_attributes.emplace_back(std::move(name), std::move(value));
    }
}

bool TItemMetadata::KeepOwner(int fd, const std::string& path) const
{
    auto change = [&](uid_t uid, gid_t gid) {
        return fd >= 0 ? ::fchown(fd, uid, gid)
                       : ::fchownat(AT_FDCWD, path.c_str(), uid, gid, AT_SYMLINK_NOFOLLOW);
    };
    if (change(m_st.st_uid, m_st.st_gid) == 0)
        return true;
    // Without the right to give the copy away, the group at least where the user belongs to it.
    return change(static_cast<uid_t>(-1), m_st.st_gid) == 0 && m_st.st_uid == ::geteuid();
}

void TItemMetadata::ApplyTo(int fd, const std::string& path, bool withoutInheritedAcls,
                            std::vector<Dropped>& dropped) const
{
    bool ownerKept = KeepOwner(fd, path);
    dropped.insert(dropped.end(), m_unreadable.begin(), m_unreadable.end());
    for (const auto& [name, value] : m_attributes) {
        if (SetValue(fd, path, name, value) != 0)
            dropped.push_back({name, std::strerror(errno)});
    }
    if (withoutInheritedAcls) {
        for (const char* acl : aclNames) {
            bool inSource =
                std::any_of(m_attributes.begin(), m_attributes.end(),
                            [&](const auto& attribute) { return attribute.first == acl; });
            if (!inSource)
                RemoveValue(fd, path, acl);
        }
    }
    struct timespec times[2] = {m_st.st_atim, m_st.st_mtim};
    if (fd < 0) {
        // A link has no mode of its own.
        if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
            dropped.push_back({"its times", std::strerror(errno)});
        return;
    }
    mode_t mode = m_st.st_mode & 07777;
    if (!ownerKept) {
        // A copy that someone else owns now must not run with the original owner's rights.
        if (mode & S_ISUID)
            dropped.push_back({"the set-user-ID bit", "its owner could not be kept"});
        if (mode & S_ISGID)
            dropped.push_back({"the set-group-ID bit", "its owner could not be kept"});
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    if (::fchmod(fd, mode) != 0)
        dropped.push_back({"its permissions", std::strerror(errno)});
    if (::futimens(fd, times) != 0)
        dropped.push_back({"its times", std::strerror(errno)});
}
