#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzzcheck {

// Runs the helpers behind cross-page links, page titles, head links and the manifest on
// arbitrary bytes and checks what must hold for any of them: a rewritten link leads to the page
// of its anchor and keeps the tag's anchors, rewriting is done once and for all, decoding
// references never grows a text, a page head keeps every byte of the document's head, and the
// manifest is valid UTF-8 JSON that carries each text's ASCII bytes in order.
//
// Input layout (reads past the end give zero or the empty text):
//   byte 0  the helper: 0 one tag, 1 markup, 2 character references, 3 page title,
//           4 head links, 5 manifest (value % 6)
//   byte 1  the current page (0: the index page)
//   then    base name and extension of the pages (texts: a length byte and its bytes; '/'
//           is dropped, as no file name holds one)
//   byte    the number of anchors (at most 32), then for each a byte (bits 0-6: its page,
//           0 taken as 1; bit 7: a name, not an id; as a manifest page, the level) and its text
//   then    one more text (heading text, head markup, or each manifest page's heading)
//   rest    the tag (from '<' to the first '>'), markup, text or document head
std::string CheckLinks(std::string_view input);

// Checks that json is valid UTF-8 JSON; returns the first fault, or empty.
std::string JsonFault(std::string_view json);

// The "file" of every page a manifest lists, in order; on a fault (no valid JSON, not shaped as
// a manifest) none, and fault says why.
std::vector<std::string> ManifestFiles(std::string_view json, std::string& fault);

// Whether a text read back from the manifest is the one written: the same bytes when it was
// UTF-8, else at least its ASCII bytes in order (the others are taken as Latin-1).
bool SameAsWritten(std::string_view read, std::string_view written);

} // namespace fuzzcheck
