#pragma once

#include <string>
#include <string_view>

namespace fuzzcheck {

// Parses a key file from arbitrary bytes, makes the program's changes to it and reads the
// written text back: nothing it did not change may change, and what it set must read back.
//
// Input layout: byte 0 is the number of values set (0..3); each is a name choice, a key
// choice, a type choice and a data text (length byte and bytes); the rest is the file's text.
// Returns an empty text when every rule held, else the first broken one.
std::string CheckKeyFile(std::string_view input);

} // namespace fuzzcheck
