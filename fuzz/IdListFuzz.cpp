// Reads stored folder forms and item id lists from arbitrary bytes.
#include "fuzz/FuzzSupport.h"
#include "fuzz/checks/IdListCheck.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

namespace {
// Never destroyed: Qt's own statics may be gone by the time exit handlers run.
QCoreApplication* app = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzsupport::IsolateEnvironment();
    app = new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzzsupport::Require(fuzzcheck::CheckIdList(input), input);
    return 0;
}
