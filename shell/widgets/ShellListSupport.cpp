#include "shell/widgets/ShellListSupport.h"

namespace shelllist {

std::vector<int>& RememberedColumnWidths()
{
    static std::vector<int> widths;
    return widths;
}

} // namespace shelllist
