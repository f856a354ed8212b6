// Builds the options dialog's preview markup from fuzzed control values.
#include "fuzz/FuzzSupport.h"
#include "fuzz/checks/PreviewCheck.h"
#include "settings/options/OptionsDlg.h"

#include <QApplication>
#include <cstddef>
#include <cstdint>

namespace {
// Never destroyed: Qt's own statics may be gone by the time exit handlers run.
QApplication* app = nullptr;
TOptionsDlg* dialog = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzsupport::IsolateEnvironment();
    app = new QApplication(*argc, *argv);
    dialog = new TOptionsDlg();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzzsupport::Require(fuzzcheck::CheckPreview(*dialog, input), input);
    return 0;
}

// The system's font configuration keeps its caches until exit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
