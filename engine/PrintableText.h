#pragma once

#include <string>
#include <string_view>

// The line with its control characters written as escapes (\n, \t, \r, \xNN), so that a file
// name holding a line break still shows as one line, in a terminal or in the status pane.
std::string PrintableLine(std::string_view line);

// Whether the line has no control character, so PrintableLine would return it unchanged.
bool IsPrintableLine(std::string_view line);
