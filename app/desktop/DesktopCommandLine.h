#pragma once

#include <string>
#include <vector>

// What the command line of quirefold asks for.
struct DesktopCommandLine
{
    bool Help = false;
    bool Version = false;
    std::string File;  // the document to split at start-up; empty for none
    std::string Error; // why the command line cannot be run; empty when it can
};

// args without the program name. "--" ends the options, so a document may start with "-".
DesktopCommandLine ParseDesktopCommandLine(const std::vector<std::string>& args);

// The text of --help and of --version.
std::string DesktopUsageText();
std::string DesktopVersionText();
