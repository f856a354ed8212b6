// Parses command lines of quirefold-split made of arbitrary bytes.
#include "fuzz/FuzzSupport.h"
#include "fuzz/checks/SplitOptionsCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzzsupport::Require(fuzzcheck::CheckSplitOptions(input), input);
    return 0;
}
