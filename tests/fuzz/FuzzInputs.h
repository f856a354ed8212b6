#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fuzzinputs {

// The saved inputs of one fuzz target: those it once failed on, then its seeds.
inline std::vector<std::filesystem::path> Inputs(const std::string& target)
{
    namespace fs = std::filesystem;
    const fs::path source(QUIREFOLD_SOURCE_DIR);
    std::vector<fs::path> files;
    for (const fs::path& folder :
         {source / "tests/data/fuzz-regressions" / target, source / "fuzz/corpus" / target}) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            if (it->is_regular_file())
                files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::string Read(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A length byte and the text, as the checks read texts.
inline std::string Text(const std::string& text)
{
    return std::string(1, static_cast<char>(text.size())) + text;
}

} // namespace fuzzinputs
