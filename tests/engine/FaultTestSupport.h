#pragma once

#include "engine/FileFaults.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

// What the fault tests look at after a run that went wrong.
namespace faulttest {

// Descriptors this process has open right now.
inline std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec))
        ++count;
    return count;
}

// The bytes of a file, read in one piece (large files are read after every run).
inline std::string FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The regular files directly in folder, by name, with their bytes.
inline std::map<std::string, std::string> FolderFiles(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = FileBytes(entry.path());
    }
    return files;
}

// Whether a file name is scratch space of a run (a page's temporary file, a partial image).
inline bool IsScratchName(const std::string& name)
{
    return name.find("temp.") != std::string::npos || name.ends_with(".partial");
}

// The fixed message a split run ends with when this call fails, or nothing when the run
// passes over the failure (closing a file it only read, copying a link image).
inline std::optional<std::string> FailureMessage(const filefaults::CallRecord& call,
                                                 const std::filesystem::path& imageFolder)
{
    const std::filesystem::path path(call.Path);
    // The manifest is put in place the way images are, but it fails the run.
    const bool manifest = path.filename().string().find("pages.json") != std::string::npos;
    const bool imageCopy =
        !manifest && (call.Kind == FileCall::Rename || path.string().ends_with(".partial") ||
                      path.parent_path() == imageFolder);
    if (imageCopy)
        return std::nullopt;
    switch (call.Kind) {
    case FileCall::Open:
        return call.Writing ? "File could not be created" : "File could not be opened";
    case FileCall::Read:
        return "File could not be read";
    case FileCall::Close:
        if (!call.Writing)
            return std::nullopt;
        return "File could not be written";
    default:
        return "File could not be written";
    }
}

// Whether text is where expected starts.
inline bool IsPrefixOf(const std::string& text, const std::string& expected)
{
    return text.size() <= expected.size() && std::equal(text.begin(), text.end(), expected.begin());
}

} // namespace faulttest
