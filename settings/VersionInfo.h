#pragma once

#include <optional>
#include <string>

// The version strings of the program file (on Windows its VERSIONINFO resource; elsewhere
// compiled in from the build).
struct VersionInfo
{
    std::string CompanyName;
    std::string ProductName;
    std::string FileVersion;
};

// The program's version information, or nothing when the program file carries none.
std::optional<VersionInfo> ProgramVersionInfo();

// Tests replace what ProgramVersionInfo() returns: a value, or std::nullopt for "none".
// ResetProgramVersionInfo() goes back to the real one.
void SetProgramVersionInfo(std::optional<VersionInfo> info);
void ResetProgramVersionInfo();

// Folder of the running executable, ending with a path separator.
std::string ProgramFolder();
