#pragma once

#include "engine/HTMLFile.h"

#include <string>

class SplitHost;

// How a run of SplitFile ended.
enum class SplitOutcome
{
    Split,   // the document was split completely
    Failed,  // the run ended with its "   Exception encountered: " line
    Stopped, // a Stop cut the document short (or came before its first page)
};

// Splits one document into pages, an index page and optionally a frameset page, reporting
// every step through host. Never throws: a failure ends the run with a logged line.
SplitOutcome SplitFile(const std::string& sourcePath, SplitHost& host);

// Whether a tag of this kind starts a new page at the given break level.
bool IsSplitHeading(TTagKind kind, int breakOn);

// Appends the whole content of the (closed) file fileName to target.
void AppendFile(const std::string& fileName, HTMLFile& target);
