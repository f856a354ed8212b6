// Rewrites links, titles and head links and writes manifests from fuzzed tags, texts and heads.
#include "fuzz/FuzzSupport.h"
#include "fuzz/checks/LinkCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzzsupport::Require(fuzzcheck::CheckLinks(input), input);
    return 0;
}
