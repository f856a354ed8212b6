#include "fuzz/checks/EngineCheck.h"
#include "tests/common/TestSupport.h"
#include "tests/fuzz/FuzzInputs.h"

#include <gtest/gtest.h>

using fuzzinputs::Text;

namespace {

const std::string kDocument = "<html><head><title>t</title></head><body>intro<H1>A</H1>a"
                              "<H2>A1</H2>b<H3>A1a</H3>c<H1>B</H1>d</BODY></html>";

const std::string kLinkedDocument =
    "<html><head><TITLE>Linked</TITLE></head><body><a href=#b>to B</a><H1 id=a>A</H1>a"
    "<H2>A1 <a href='doc.html#a'>up</a></H2>b<H1>B <a name=b>here</a></H1>c</BODY></html>";

// An input for EngineWorkspace::Check; see its header for the layout. An outputForm of 0 to 3
// adds an output folder.
std::string Input(unsigned char flags, unsigned char images01, unsigned char images2Source,
                  unsigned char trap, unsigned char stopAt, const std::string& document,
                  int outputForm = -1)
{
    if (outputForm >= 0)
        flags |= 0x80;
    std::string input{static_cast<char>(flags), static_cast<char>(images01),
                      static_cast<char>(images2Source), static_cast<char>(trap),
                      static_cast<char>(stopAt)};
    input += Text("Prev") + Text("Home") + Text("Next") + Text("Here:");
    if ((images01 & 15) == 15)
        input += Text("odd/\xff\x01.gif");
    if ((images01 >> 4) == 15)
        input += Text("");
    if ((images2Source & 15) == 15)
        input += Text("/");
    if (outputForm >= 0)
        input += static_cast<char>(outputForm);
    return input + document;
}

class EngineFuzzTest : public ::testing::Test
{
protected:
    testsupport::TempDir root;
    fuzzcheck::EngineWorkspace workspace{root.Path()};
};

TEST_F(EngineFuzzTest, EverySavedInputKeepsTheRules)
{
    const auto inputs = fuzzinputs::Inputs("engine");
    ASSERT_FALSE(inputs.empty());
    for (const auto& file : inputs)
        EXPECT_EQ(workspace.Check(fuzzinputs::Read(file)), "") << file;
}

TEST_F(EngineFuzzTest, TrapsInTheFolderEndTheRunCleanlyForEverySourceName)
{
    // Links to the source under output names, stale pages, a folder in a page's place, a
    // source behind a link, a pipe or a folder as the source.
    for (int trap = 0; trap < 8; ++trap) {
        for (int source = 0; source < 8; ++source) {
            const auto images2Source = static_cast<unsigned char>(source << 4);
            EXPECT_EQ(workspace.Check(Input(0x4f, 0x00, images2Source, trap, 0, kDocument)), "")
                << "trap " << trap << ", source " << source;
        }
    }
}

TEST_F(EngineFuzzTest, EveryLinkImageChoiceStaysInsideTheFolder)
{
    // Images outside the folder, named "..", ".", "/", after the source or a page, or as the
    // folder itself: none may be written anywhere but the page folder, nor replace anything.
    for (int image = 0; image < 16; ++image) {
        const auto same = static_cast<unsigned char>(image | (image << 4));
        EXPECT_EQ(
            workspace.Check(Input(0x0b, same, static_cast<unsigned char>(image), 0, 0, kDocument)),
            "")
            << "image choice " << image;
    }
}

TEST_F(EngineFuzzTest, AStopAtAnyTagStillEndsWithTheCompletionLine)
{
    for (int stopAt = 1; stopAt <= 12; ++stopAt) {
        for (unsigned char level : {0x00, 0x20, 0x30, 0x40})
            EXPECT_EQ(workspace.Check(Input(level | 0x0d, 0, 0, 0, stopAt, kDocument)), "")
                << "stop at " << stopAt << ", level byte " << int(level);
    }
}

TEST_F(EngineFuzzTest, BrokenDocumentsFailWithOneExceptionLine)
{
    for (const std::string& document : std::initializer_list<std::string>{
             "", "<html>no body", "<body><H1>open", "<body>text <b", "<body>no end",
             "<body><H2>x</H3>", std::string("<body>\0<H1>\0</H1>\0", 18)})
        EXPECT_EQ(workspace.Check(Input(0x3f, 0, 0, 0, 0, document)), "") << document;
}

TEST_F(EngineFuzzTest, PageOptionsOutputFoldersAndManifestsKeepTheRules)
{
    // Every mix of the options beyond the basics, each kind of output folder, with and without
    // an end of body, a trap laid where the pages go, and a stop.
    const std::string noBodyEnd = kLinkedDocument.substr(0, kLinkedDocument.find("</BODY>"));
    for (int options = 0; options < 32; ++options) {
        for (int outputForm = -1; outputForm < 4; ++outputForm) {
            const auto trapAndOptions = static_cast<unsigned char>(options << 3 | options % 5);
            for (const std::string* document : {&kLinkedDocument, &noBodyEnd})
                EXPECT_EQ(
                    workspace.Check(Input(0x3d, 0x0e, static_cast<unsigned char>(options % 8 << 4),
                                          trapAndOptions, 0, *document, outputForm)),
                    "")
                    << "options " << options << ", output folder " << outputForm;
            EXPECT_EQ(workspace.Check(Input(0x1f, 0, 0, static_cast<unsigned char>(options << 3),
                                            static_cast<unsigned char>(options % 9 + 1),
                                            kLinkedDocument, outputForm)),
                      "")
                << "options " << options << ", stopped, output folder " << outputForm;
        }
    }
}

TEST_F(EngineFuzzTest, ReportsAFileThatAppearsBesideTheFolder)
{
    testsupport::WriteAll(root.Path() / "stray.html", "x");
    EXPECT_EQ(workspace.Check(Input(0, 0, 0, 0, 0, kDocument)),
              "a file beside the working folder was created or removed");
}

} // namespace
