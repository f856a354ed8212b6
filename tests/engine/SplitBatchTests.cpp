#include "engine/SplitBatch.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/FakeBatchHost.h"

#include <filesystem>
#include <gtest/gtest.h>

using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::TempDir;
using testsupport::WriteAll;

namespace {

const std::string kHeader = "<HTML><BODY>";
const std::string kTrailer = "</BODY>\r\n</HTML>\r\n";
// Message pumps while scanning: 1 at <H1>, 2 at <b>, 3 at </b>, 4 at the second <H1>, 5 at
// </BODY>; a heading's own closing tag is read with it.
const std::string kTwoPages = "intro<H1>A</H1>a<b>x</b><H1>B</H1>b</BODY>";
const std::string kStopLine = "User pressed Stop button. Cancelling operation...";

// A folder of documents with the list, pane and button of a window over it.
class Desk
{
public:
    Desk() : batch(host) { host.batch = &batch; }

    std::string AddDoc(const std::string& name, const std::string& body = kTwoPages,
                       bool selected = true)
    {
        const std::string path = dir / name;
        WriteAll(path, kHeader + body);
        host.items.push_back({path, selected});
        return path;
    }
    void AddFolder(const std::string& name)
    {
        std::filesystem::create_directory(dir.Path() / name);
        host.items.push_back({dir / name, true, ""});
    }
    std::string Out(const std::string& name) const { return dir / name; }
    bool Has(const std::string& name) const { return Exists(dir / name); }
    // The documents whose split began, from the first line of each run.
    std::vector<std::string> Begun() const
    {
        std::vector<std::string> begun;
        for (const auto& line : host.pane) {
            if (line.starts_with("Splitting " + dir.Path().string()))
                begun.push_back(
                    std::filesystem::path(line.substr(10, line.size() - 11)).filename().string());
        }
        return begun;
    }
    std::ptrdiff_t EventAt(const std::string& event) const
    {
        return std::find(host.events.begin(), host.events.end(), event) - host.events.begin();
    }

    TempDir dir;
    FakeBatchHost host;
    SplitBatch batch;
};

TEST(SplitBatchTest, SelectedFilesAreSplitInListOrderAfterOneClear)
{
    Desk desk;
    desk.host.pane = {"left from an earlier batch"};
    desk.AddFolder("sub.html"); // a selected folder is passed over
    const std::string a = desk.AddDoc("a.html");
    desk.AddDoc("b.html", kTwoPages, false);
    desk.AddDoc("c.html");

    const SplitBatchResult result = desk.batch.Run();
    EXPECT_EQ(result.Split, 2);
    EXPECT_EQ(result.Failed, 0);
    EXPECT_FALSE(result.Stopped);
    EXPECT_EQ(desk.Begun(), (std::vector<std::string>{"a.html", "c.html"}));
    EXPECT_EQ(desk.host.pane.front(), "Splitting " + a + ".");
    EXPECT_EQ(desk.host.Count("clear"), 1);

    const auto& ev = desk.host.events;
    ASSERT_GE(ev.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(ev.begin(), ev.begin() + 3),
              (std::vector<std::string>{"clear", "caption Stop!", "busy on"}));
    EXPECT_EQ(std::vector<std::string>(ev.end() - 2, ev.end()),
              (std::vector<std::string>{"caption Split!", "busy off"}));
    // The first document's log is complete, its result opened, before the second begins.
    EXPECT_LT(desk.EventAt("line Splitting is complete. 2 files and 1 index file created."),
              desk.EventAt("open " + desk.Out("a000.html")));
    EXPECT_LT(desk.EventAt("open " + desk.Out("a000.html")),
              desk.EventAt("line Splitting " + desk.Out("c.html") + "."));
    EXPECT_EQ(desk.host.opened,
              (std::vector<std::string>{desk.Out("a000.html"), desk.Out("c000.html")}));
    EXPECT_TRUE(desk.Has("c002.html"));
    EXPECT_FALSE(desk.Has("b000.html"));
    EXPECT_EQ(desk.host.caption, "Split!");
    EXPECT_FALSE(desk.host.busy);
}

TEST(SplitBatchTest, NothingToSplitShowsTheErrorBoxOnce)
{
    Desk desk;
    desk.AddFolder("docs.html");
    desk.AddDoc("a.html", kTwoPages, false);
    const SplitBatchResult result = desk.batch.Run();
    EXPECT_EQ(result.Split, 0);
    EXPECT_EQ(desk.host.events,
              (std::vector<std::string>{"clear", "caption Stop!", "busy on", "caption Split!",
                                        "busy off", "message Select an HTML file first | Error"}));
    EXPECT_FALSE(desk.Has("a000.html"));

    // An empty list too.
    desk.host.items.clear();
    desk.host.events.clear();
    desk.batch.Run();
    EXPECT_EQ(desk.host.Count("message Select an HTML file first | Error"), 1);
}

TEST(SplitBatchTest, StopDuringTheFirstDocumentEndsTheBatch)
{
    Desk desk;
    desk.AddDoc("a.html");
    desk.AddDoc("b.html");
    desk.AddDoc("c.html");
    desk.host.onPump = [](FakeBatchHost& h) {
        if (h.pumps == 2)
            h.Click();
    };
    const SplitBatchResult result = desk.batch.Run();
    EXPECT_EQ(result.Split, 1);
    EXPECT_EQ(result.Failed, 0);
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(desk.Begun(), std::vector<std::string>{"a.html"});

    // The button reads "Split!" from the click on; the run notices it after that tag.
    EXPECT_LT(desk.EventAt("caption Split!"), desk.EventAt("line " + kStopLine));
    EXPECT_LT(desk.EventAt("line " + kStopLine), desk.EventAt("line Operation cancelled."));
    EXPECT_EQ(ReadAll(desk.Out("a001.html")), kHeader + "intro<H1>A</H1>a<b>");
    EXPECT_FALSE(desk.Has("a002.html"));
    // A Stop is no failure: the first document's index is finished and opened.
    EXPECT_EQ(desk.host.opened, std::vector<std::string>{desk.Out("a000.html")});
    EXPECT_FALSE(desk.Has("b000.html"));
    EXPECT_FALSE(desk.Has("c000.html"));
    EXPECT_EQ(desk.host.Count("message Select an HTML file first | Error"), 0);
    EXPECT_EQ(desk.host.caption, "Split!");
    EXPECT_FALSE(desk.host.busy);
}

TEST(SplitBatchTest, StopAfterTheLastTagStillEndsTheBatch)
{
    struct Case
    {
        const char* when;
        std::function<void(FakeBatchHost&)> arm;
        bool cancelledLine; // the run itself still saw the Stop
        bool frameset = false;
    };
    auto onLine = [](std::string prefix, std::string suffix) {
        return [prefix, suffix](FakeBatchHost& h) {
            h.onLine = [prefix, suffix](FakeBatchHost& host, const std::string& line) {
                if (line.starts_with(prefix) && line.ends_with(suffix))
                    host.Click();
            };
        };
    };
    // Pumps of "intro<H1>A</H1>a</BODY>": 1 at <H1>, 2 at </BODY>.
    const Case cases[] = {
        {"in the last message pump",
         [](FakeBatchHost& h) {
             h.onPump = [](FakeBatchHost& host) {
                 if (host.pumps == 2)
                     host.Click();
             };
         },
         true},
        {"while the last page is closed", onLine("      Target file", "closed."), false},
        {"while the index is closed", onLine("   Index file", "closed."), false},
        {"while the frameset is written", onLine("Created frameset.", ""), false, true},
        {"after the completion line", onLine("Splitting is complete.", ""), false},
        {"while the result is opened",
         [](FakeBatchHost& h) { h.onOpen = [](FakeBatchHost& host) { host.Click(); }; }, false},
        {"queued while the result is opened",
         [](FakeBatchHost& h) { h.onOpen = [](FakeBatchHost& host) { host.clickQueued = true; }; },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        Desk desk;
        desk.host.settings.Navigation = c.frameset;
        desk.AddDoc("a.html", "intro<H1>A</H1>a</BODY>");
        desk.AddDoc("b.html");
        c.arm(desk.host);

        const SplitBatchResult result = desk.batch.Run();
        EXPECT_EQ(desk.Begun(), std::vector<std::string>{"a.html"});
        EXPECT_FALSE(desk.Has("b000.html"));
        EXPECT_EQ(result.Split, 1);
        EXPECT_TRUE(result.Stopped);
        EXPECT_EQ(desk.host.Count("line " + kStopLine), 1);
        EXPECT_EQ(desk.host.Count("line Operation cancelled."), c.cancelledLine ? 1 : 0);
        // The first document was read to its end either way.
        EXPECT_EQ(ReadAll(desk.Out("a001.html")), kHeader + "intro<H1>A</H1>a<BR>\r\n" + kTrailer);
        EXPECT_EQ(desk.host.opened.size(), 1u);
        EXPECT_EQ(desk.host.caption, "Split!");
        EXPECT_FALSE(desk.host.busy);
    }
}

TEST(SplitBatchTest, ClickDuringARunIsTheStop)
{
    Desk desk;
    desk.host.busy = true;
    desk.host.caption = "Stop!";
    desk.host.pane = {"Splitting x."};
    const SplitBatchResult result = desk.batch.Run();
    EXPECT_EQ(result.Split, 0);
    EXPECT_EQ(desk.host.events,
              (std::vector<std::string>{"caption Split!", "busy off", "line " + kStopLine}));
    EXPECT_EQ(desk.host.pane, (std::vector<std::string>{"Splitting x.", kStopLine}));

    // Stop without a split under way changes nothing.
    desk.host.events.clear();
    desk.batch.Stop();
    EXPECT_TRUE(desk.host.events.empty());
}

TEST(SplitBatchTest, ClickWhileAStoppedRunFinishesStartsNoSecondBatch)
{
    Desk desk;
    desk.AddDoc("a.html");
    desk.AddDoc("b.html");
    // Stop, then at once "Split!" again while the stopped run still has its files open.
    desk.host.onPump = [](FakeBatchHost& h) {
        if (h.pumps == 1) {
            h.Click();
            h.Click();
        }
    };
    const SplitBatchResult result = desk.batch.Run();
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(desk.host.Count("clear"), 1);
    EXPECT_EQ(desk.host.Count("line " + kStopLine), 1);
    EXPECT_EQ(desk.Begun(), std::vector<std::string>{"a.html"});
    EXPECT_FALSE(desk.batch.Running());

    // Once it has ended, the next click starts a batch again.
    desk.host.onPump = nullptr;
    const SplitBatchResult again = desk.batch.Run();
    EXPECT_EQ(again.Split, 2);
    EXPECT_EQ(desk.Begun(), (std::vector<std::string>{"a.html", "b.html"}));
}

TEST(SplitBatchTest, ItemsAreReadAgainAtEveryStep)
{
    Desk desk;
    desk.AddDoc("a.html");
    desk.AddDoc("b.html");
    desk.AddDoc("c.html");
    desk.AddDoc("d.html");
    desk.host.onOpen = [](FakeBatchHost& h) {
        if (h.opened.size() == 1)
            h.items.erase(h.items.begin() + 1); // b goes: a, c, d
        else
            h.items.resize(1); // the list shrinks below the batch's position
    };
    // The pump the batch runs between documents: c is deselected there.
    desk.host.onPump = [](FakeBatchHost& h) {
        if (h.events[h.events.size() - 1].starts_with("open "))
            h.items[1].selected = false;
    };
    const SplitBatchResult result = desk.batch.Run();
    EXPECT_EQ(desk.Begun(), (std::vector<std::string>{"a.html", "d.html"}));
    EXPECT_EQ(result.Split, 2);
    EXPECT_FALSE(result.Stopped);
}

TEST(SplitBatchTest, ResultCountsFailuresAndTheBatchGoesOn)
{
    Desk desk;
    desk.host.items.push_back({desk.Out("missing.html")});
    desk.AddDoc("nobody.html", "text without an end");
    desk.host.items.push_back({desk.Out("nobody.html")}); // listed twice
    desk.AddDoc("good.html");
    const SplitBatchResult result = desk.batch.Run();
    EXPECT_EQ(result.Split, 4);
    EXPECT_EQ(result.Failed, 3);
    EXPECT_FALSE(result.Stopped);
    EXPECT_EQ(desk.host.opened, std::vector<std::string>{desk.Out("good000.html")});
}

TEST(SplitBatchTest, SingleSplitKeepsCaptionAndPane)
{
    Desk desk;
    const std::string a = desk.AddDoc("a.html");
    const std::string b = desk.AddDoc("b.html");
    desk.host.pane = {"kept"};
    SplitOutcome nested = SplitOutcome::Split;
    desk.host.onPump = [&](FakeBatchHost& h) {
        EXPECT_TRUE(h.busy);
        if (h.pumps == 1)
            nested = desk.batch.RunSingle(b); // refused: a split is under way
    };
    EXPECT_EQ(desk.batch.RunSingle(a), SplitOutcome::Split);
    EXPECT_EQ(nested, SplitOutcome::Stopped);
    EXPECT_EQ(desk.host.pane.front(), "kept");
    EXPECT_EQ(desk.host.events.front(), "busy on");
    EXPECT_EQ(desk.host.events.back(), "busy off");
    EXPECT_EQ(desk.host.Count("clear") + desk.host.Count("caption Stop!"), 0);
    EXPECT_EQ(desk.Begun(), std::vector<std::string>{"a.html"});

    // A click during it takes the stop path.
    desk.host.onPump = [](FakeBatchHost& h) {
        if (h.pumps == 2)
            h.Click();
    };
    desk.host.pumps = 0;
    EXPECT_EQ(desk.batch.RunSingle(a), SplitOutcome::Stopped);
    EXPECT_EQ(desk.host.Count("line " + kStopLine), 1);
    EXPECT_FALSE(desk.host.busy);
}

} // namespace
