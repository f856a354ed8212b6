#pragma once

#include "engine/SplitBatch.h"
#include "engine/SplitSettings.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// A window for the split batch: a file list, a pane, a button and a message pump in which a
// test plays the user. Every call the batch makes is recorded in order in events.
class FakeBatchHost : public SplitBatchHost
{
public:
    struct Item
    {
        std::string path;
        bool selected = true;
        std::string size = "1 KB"; // empty for a folder
    };

    SplitSettings settings;
    std::vector<Item> items;
    std::vector<std::string> pane;
    std::vector<std::string> events;
    std::vector<std::string> opened;
    std::string caption = "Split!";
    bool busy = false;
    int pumps = 0;
    // The button, pressed by Click(); a queued click is handled at the next message pump.
    SplitBatch* batch = nullptr;
    bool clickQueued = false;
    // Run at every message pump (after queued clicks), status line and opened result.
    std::function<void(FakeBatchHost&)> onPump;
    std::function<void(FakeBatchHost&, const std::string&)> onLine;
    std::function<void(FakeBatchHost&)> onOpen;

    void Click() { batch->Run(); }
    int Count(const std::string& event) const
    {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

    void AddStatusLine(const std::string& line) override
    {
        pane.push_back(line);
        events.push_back("line " + line);
        if (onLine)
            onLine(*this, line);
    }
    void ScrollStatus() override {}
    bool Busy() const override { return busy; }
    void ProcessMessages() override
    {
        ++pumps;
        if (clickQueued) {
            clickQueued = false;
            Click();
        }
        if (onPump)
            onPump(*this);
    }
    std::string CurrentFolder() const override { return "/shown/folder"; }
    void RememberFolder(const std::string&) override {}
    void OpenResult(const std::string& path) override
    {
        opened.push_back(path);
        events.push_back("open " + path);
        if (onOpen)
            onOpen(*this);
    }
    const SplitSettings& Settings() const override { return settings; }

    void ClearStatus() override
    {
        pane.clear();
        events.push_back("clear");
    }
    void SetSplitCaption(const std::string& text) override
    {
        caption = text;
        events.push_back("caption " + text);
    }
    void SetBusy(bool value) override
    {
        busy = value;
        events.push_back(value ? "busy on" : "busy off");
    }
    int ItemCount() const override { return static_cast<int>(items.size()); }
    bool ItemSelected(int index) const override { return At(index).selected; }
    std::string ItemSizeText(int index) const override { return At(index).size; }
    std::string ItemPath(int index) const override { return At(index).path; }
    void ShowMessage(const std::string& text, const std::string& title) override
    {
        events.push_back("message " + text + " | " + title);
    }

private:
    const Item& At(int index) const
    {
        static const Item none;
        if (index < 0 || index >= static_cast<int>(items.size())) {
            ADD_FAILURE() << "item " << index << " read from a list of " << items.size();
            return none;
        }
        return items[static_cast<std::size_t>(index)];
    }
};
