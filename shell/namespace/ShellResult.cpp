#include "shell/namespace/ShellResult.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

HResult HResultFromErrno(int error)
{
    switch (error) {
    case 0:
        return kSOk;
    case ENOENT:
        return kEFileNotFound;
    case ENOTDIR:
        return kEPathNotFound;
    case EACCES:
    case EPERM:
        return kEAccessDenied;
    case EEXIST:
    case ENOTEMPTY:
        return kEAlreadyExists;
    case EINVAL:
        return kEInvalidArg;
    default:
        return static_cast<HResult>(0xA0070000u | (static_cast<unsigned>(error) & 0xFFFF));
    }
}

std::string ShellErrorMessage(HResult hr)
{
#ifdef _WIN32
    switch (static_cast<std::uint32_t>(hr)) {
    case 0x80070002u:
        return "The system cannot find the file specified.";
    case 0x80070003u:
        return "The system cannot find the path specified.";
    case 0x80070005u:
        return "Access is denied.";
    case 0x80070057u:
        return "The parameter is incorrect.";
    case 0x800700B7u:
        return "Cannot create a file when that file already exists.";
    default:
        break;
    }
#else
    // The system's own wording, as every other program of this desktop shows it.
    switch (static_cast<std::uint32_t>(hr)) {
    case 0x80070002u:
        return std::strerror(ENOENT);
    case 0x80070003u:
        return std::strerror(ENOTDIR);
    case 0x80070005u:
        return std::strerror(EACCES);
    case 0x80070057u:
        return std::strerror(EINVAL);
    case 0x800700B7u:
        return std::strerror(EEXIST);
    default:
        break;
    }
#endif
    switch (static_cast<std::uint32_t>(hr)) {
    case 0x80070103u:
        return "No more data is available.";
    case 0x80004001u:
        return "Not implemented";
    case 0x80004005u:
        return "Unspecified error";
    default:
        break;
    }
    if ((static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0xA0070000u)
        return std::strerror(static_cast<int>(hr & 0xFFFF));
    char text[40];
    std::snprintf(text, sizeof text, "Error 0x%08X", static_cast<unsigned>(hr));
    return text;
}
