#pragma once

#include <string>

struct SplitSettings;

// What a split run needs from the window (or program) that starts it.
// The run is single-threaded: Busy() and Settings() may change only while the host is
// inside one of these calls (normally ProcessMessages), never behind the run's back.
class SplitHost
{
public:
    virtual ~SplitHost() = default;

    // Appends one status line.
    virtual void AddStatusLine(const std::string& line) = 0;
    // Makes the newest status line visible.
    virtual void ScrollStatus() = 0;
    // False once the user asked to stop.
    virtual bool Busy() const = 0;
    // Lets the user interface handle pending input; called at the first '<' of a body and
    // then at every TagsPerPump()-th one.
    virtual void ProcessMessages() = 0;
    // How many tags of a body may pass from one ProcessMessages to the next. The default, 1,
    // pumps at every tag; a host whose pump only polls a flag may let a few thousand pass.
    // Asked once at the start of a run.
    virtual unsigned TagsPerPump() const { return 1; }
    // The folder the user is looking at; remembered as the last folder used.
    virtual std::string CurrentFolder() const = 0;
    // Stores the last folder used (may do nothing when no store is available).
    virtual void RememberFolder(const std::string& folder) = 0;
    // Hands a finished page to the desktop's default handler.
    virtual void OpenResult(const std::string& path) = 0;
    // The settings in force right now; read at each use, never copied by the run.
    virtual const SplitSettings& Settings() const = 0;
};
