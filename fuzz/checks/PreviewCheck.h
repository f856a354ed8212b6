#pragma once

#include <string>
#include <string_view>

class TOptionsDlg;

namespace fuzzcheck {

// Puts arbitrary texts and choices into the options dialog's controls and checks the length
// of its preview markup against one worked out from the markup's parts.
//
// Input layout: byte 0 holds the check boxes (1 Add links, 2 Use images, 4 Navigation,
// 8 Breadcrumbs) and the break level in bits 4-5 (0: none selected); then texts (length byte
// and UTF-8 bytes): Previous, Home, Next, the three image paths and the breadcrumb label.
// Returns an empty text when every rule held.
std::string CheckPreview(TOptionsDlg& dialog, std::string_view input);

} // namespace fuzzcheck
