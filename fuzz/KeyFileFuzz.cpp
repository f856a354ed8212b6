// Parses and rewrites key files made of arbitrary bytes.
#include "fuzz/FuzzSupport.h"
#include "fuzz/checks/KeyFileCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzzsupport::Require(fuzzcheck::CheckKeyFile(input), input);
    return 0;
}
