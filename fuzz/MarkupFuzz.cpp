// Builds page markup from fuzzed settings, texts and page numbers.
#include "fuzz/FuzzSupport.h"
#include "fuzz/checks/MarkupCheck.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {
std::unique_ptr<fuzzcheck::MarkupWorkspace> workspace;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::IsolateEnvironment();
    workspace = std::make_unique<fuzzcheck::MarkupWorkspace>(
        fuzzsupport::PrivateFolder("quirefold-fuzz-markup-"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzzsupport::Require(workspace->Check(input), input);
    return 0;
}
