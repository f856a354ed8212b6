#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fuzzsupport {

// A new private folder under the temporary folder, removed with its content at exit.
std::filesystem::path PrivateFolder(const char* prefix);

// Points HOME and the XDG folders at a private folder and picks the headless Qt platform, so
// that nothing a target runs reaches the user's settings, files or display.
void IsolateEnvironment();

// Ends the run as a finding when a check reported a broken rule.
void Require(const std::string& problem, std::string_view input);

} // namespace fuzzsupport
