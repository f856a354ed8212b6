#pragma once

#include "engine/SplitHost.h"
#include "engine/SplitRun.h"

#include <string>

// What the split batch needs besides what a single run needs: the window's Split/Stop button,
// its status pane, its Busy flag and the file list the documents are taken from.
// Items are read by index and re-read at every step, as the list may change while a document
// is split (its message pump runs the list's refresh too).
// Between two documents the batch calls ProcessMessages once, so that a Stop given after a
// document's last tag is handled before the next document begins. A host that skips pumps
// to save time must not skip that one: it comes after OpenResult or a failure line.
class SplitBatchHost : public SplitHost
{
public:
    // Removes every line from the status pane.
    virtual void ClearStatus() = 0;
    // The caption of the Split button: "Split!" when idle, "Stop!" while a batch runs.
    virtual void SetSplitCaption(const std::string& caption) = 0;
    virtual void SetBusy(bool busy) = 0;

    // The file list: number of items, and for an index below it whether the item is
    // selected, its size text (empty for folders and anything else that is no file) and its
    // full path.
    virtual int ItemCount() const = 0;
    virtual bool ItemSelected(int index) const = 0;
    virtual std::string ItemSizeText(int index) const = 0;
    virtual std::string ItemPath(int index) const = 0;

    // A message box with one OK button, owned by the window.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;

    // Called just before path is split; a host that has no folder of its own uses it.
    virtual void DocumentStarting(const std::string& path) { (void)path; }
};

// How a batch ended.
struct SplitBatchResult
{
    int Split = 0;        // documents handed to SplitFile
    int Failed = 0;       // of those, the ones that ended with a failure line
    bool Stopped = false; // a Stop cut a document short or kept one from being split
};

// The action behind the Split/Stop button. Run on the window's one thread; Run is re-entered
// from the message pump of a running split, and that nested call is the Stop.
class SplitBatch
{
public:
    explicit SplitBatch(SplitBatchHost& host) : m_host(host) {}
    SplitBatch(const SplitBatch&) = delete;
    SplitBatch& operator=(const SplitBatch&) = delete;

    // Idle: splits every selected file of the list in list order, then resets the button;
    // shows "Select an HTML file first" when there was none. During a split: Stop(), and an
    // empty result.
    SplitBatchResult Run();
    // Asks a running split to stop: caption "Split!", Busy cleared, a line in the pane. Does
    // nothing unless Busy is set.
    void Stop();
    // Splits one document as the start-up split does: Busy set around the run, the caption
    // and the pane left alone. While another split is under way it splits nothing and
    // returns Stopped.
    SplitOutcome RunSingle(const std::string& path);
    // Whether a batch or single split is under way (possibly already stopped, finishing).
    bool Running() const { return m_running; }

private:
    bool IsFileItem(int index) const;
    bool FileItemFrom(int index) const;

    SplitBatchHost& m_host;
    // The only state kept between calls: a nested call must not start a second batch while
    // the first still has its files open.
    bool m_running = false;
};
