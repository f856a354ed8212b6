#pragma once

#include <string>
#include <string_view>

namespace fuzzcheck {

// Reads a folder's stored form (kind byte, then a special folder or a 32-bit length and an id
// list) from arbitrary bytes, with sizes that lie, no terminator or items too small to
// advance; what is accepted must walk, copy and write back exactly as read. The same bytes
// also give the items of an id list built from scratch, whose walk must give them back.
// Returns an empty text when every rule held.
std::string CheckIdList(std::string_view input);

} // namespace fuzzcheck
