#pragma once

#include "engine/SplitHost.h"
#include "engine/SplitSettings.h"

#include <functional>
#include <string>
#include <vector>

// Records what a split run reports and lets a test play the user during the message pump.
class FakeHost : public SplitHost
{
public:
    SplitSettings settings;
    std::vector<std::string> lines;
    std::vector<std::string> opened;
    std::vector<std::string> remembered;
    std::string folder = "/shown/folder";
    bool busy = true;
    int pumps = 0;
    // How many tags may pass between pumps (SplitHost::TagsPerPump); 1 pumps at every tag.
    unsigned tagsPerPump = 1;
    // Runs at every message pump, after the count went up, and when a result is opened.
    std::function<void(FakeHost&)> onPump;
    std::function<void(FakeHost&)> onOpen;
    std::function<void(FakeHost&, const std::string&)> onLine;

    void AddStatusLine(const std::string& line) override
    {
        lines.push_back(line);
        if (onLine)
            onLine(*this, line);
    }
    void ScrollStatus() override {}
    bool Busy() const override { return busy; }
    void ProcessMessages() override
    {
        ++pumps;
        if (onPump)
            onPump(*this);
    }
    unsigned TagsPerPump() const override { return tagsPerPump; }
    std::string CurrentFolder() const override { return folder; }
    void RememberFolder(const std::string& f) override { remembered.push_back(f); }
    void OpenResult(const std::string& path) override
    {
        opened.push_back(path);
        if (onOpen)
            onOpen(*this);
    }
    const SplitSettings& Settings() const override { return settings; }

    std::string LastLine() const { return lines.empty() ? std::string() : lines.back(); }
};
