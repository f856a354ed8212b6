// quirefold-docgen: writes a synthetic HTML document of a given size for the benchmarks.
#include "bench/DocumentGenerator.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

namespace {

void Usage(std::FILE* to)
{
    std::fputs("usage: quirefold-docgen --size SIZE --sections N --out FILE [--seed N] "
               "[--cross-links]\n"
               "  SIZE takes K, M or G (binary units), e.g. 256M.\n"
               "  N is the number of H1 and H2 headings; H3 headings come on top.\n"
               "  --cross-links gives every section one anchor and one link to another\n"
               "  section, and no other anchors or links.\n",
               to);
}

} // namespace

int main(int argc, char** argv)
{
    DocumentSpec spec;
    std::string outPath;
    bool haveSize = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--cross-links") {
            spec.CrossLinks = true;
            continue;
        }
        if (i + 1 >= argc) {
            Usage(stderr);
            return 2;
        }
        const std::string_view value = argv[++i];
        if (arg == "--size" && ParseByteSize(value, spec.Size)) {
            haveSize = true;
        } else if (arg == "--sections") {
            spec.Sections = std::atoi(std::string(value).c_str());
        } else if (arg == "--seed") {
            spec.Seed = std::strtoull(std::string(value).c_str(), nullptr, 10);
        } else if (arg == "--out") {
            outPath = value;
        } else {
            Usage(stderr);
            return 2;
        }
    }
    if (!haveSize || spec.Sections < 1 || outPath.empty()) {
        Usage(stderr);
        return 2;
    }

    try {
        DocumentGenerator generator(spec);
        std::FILE* file = std::fopen(outPath.c_str(), "wb");
        if (!file) {
            std::fprintf(stderr, "quirefold-docgen: cannot create %s: %s\n", outPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
        bool failed = false;
        const DocumentStats stats = generator.Write([&](std::string_view bytes) {
            if (!failed && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
                failed = true;
        });
        if (std::fclose(file) != 0 || failed) {
            std::fprintf(stderr, "quirefold-docgen: cannot write %s: %s\n", outPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
        std::printf("%s: %llu bytes, %d H1, %d H2, %d H3\n", outPath.c_str(),
                    static_cast<unsigned long long>(stats.Bytes), stats.H1, stats.H2, stats.H3);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quirefold-docgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
