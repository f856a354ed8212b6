#pragma once

#include <string>

// How the shell is asked on Windows; elsewhere only the path counts.
struct DesktopOpenRequest
{
    // The window (an HWND) that owns whatever the shell shows, or none.
    void* OwnerWindow = nullptr;
    // The shell verb; none takes the file type's default.
    const char* Verb = nullptr;
    // SW_HIDE rather than SW_SHOWNORMAL.
    bool Hidden = false;
};

// Hands a file (its path's own bytes, so that a name that is no valid text still opens) to the
// desktop's default handler for its type without waiting for it. On Windows an address
// ("https:", "mailto:") opens as well. Returns false when no handler could be started.
// On Linux an HTML page never comes back to this program when it is the desktop's handler for
// pages: the page goes to the handler of http addresses (the web browser) instead.
bool OpenWithDesktop(const std::string& pathBytes, const DesktopOpenRequest& request = {});

// Whether a path names a page (*.htm, *.html in any case), which the above keeps from coming
// back to this program.
bool IsPageName(const std::string& pathBytes);
