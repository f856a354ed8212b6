#pragma once

#include <string>
#include <string_view>

namespace fuzzcheck {

// Parses a command line of quirefold-split made from arbitrary bytes (arguments separated by
// NUL bytes). Only a usage error may be raised; a command line that parses is written out again
// in a plain form (every setting spelled out, the files after "--"), which must parse to the
// same modes, settings and files. Returns an empty text when every rule held.
std::string CheckSplitOptions(std::string_view input);

} // namespace fuzzcheck
