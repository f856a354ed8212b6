// Prints the engine's word rules for every code point up to U+2FFFF, one "CP FOLD W" line
// each, for the search script's own rules to be compared with (fold-agree.mjs).
#include "engine/SearchText.h"

#include <cstdio>

int main()
{
    for (char32_t cp = 0; cp <= 0x2FFFF; ++cp) {
        std::printf("%x %x %d\n", static_cast<unsigned>(cp),
                    static_cast<unsigned>(searchtext::FoldCodePoint(cp)),
                    searchtext::IsWordCodePoint(cp) ? 1 : 0);
    }
    return 0;
}
