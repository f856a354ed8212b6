#pragma once

#include <string>

// Hands a file to the desktop's default handler for its type without waiting for it.
// Returns false when no handler could be started.
bool OpenWithDesktop(const std::string& path);
