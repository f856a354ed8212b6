#include "controls/FormLoading.h"
#include "controls/VersionLabel.h"
#include "controls/VersionResource.h"
#include "settings/VersionInfo.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QLabel>
#include <QPointer>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

using namespace controlstest;

namespace {

const QString kStoredCaption = QStringLiteral("Version 6.0.10.166");

// A form as setupUi leaves it: the label exists and carries the caption the form file stored.
struct LoadedForm
{
    QWidget form;
    TVersionLabel* label = new TVersionLabel(&form);
    LoadedForm() { label->setText(kStoredCaption); }
};

} // namespace

TEST(VersionLabel, ReadsTheProgramFileOnceAndKeepsTheText)
{
    ScopedVersionReader reader(
        [] { return OneTranslation(0x0409, 0x04E4, "040904e4", "1.5.0.0"); });
    LoadedForm loaded;
    EXPECT_EQ(loaded.label->text(), kStoredCaption);
    EXPECT_EQ(reader.Reads(), 0); // nothing is read before anyone asks

    EXPECT_EQ(loaded.label->GetVersion(), QStringLiteral("1.5.0.0"));
    EXPECT_EQ(loaded.label->GetVersion(), QStringLiteral("1.5.0.0"));
    NotifyLoaded(&loaded.form);
    EXPECT_EQ(loaded.label->text(), QStringLiteral("Version 1.5.0.0"));
    NotifyLoaded(&loaded.form);
    EXPECT_EQ(loaded.label->text(), QStringLiteral("Version 1.5.0.0"));
    EXPECT_EQ(reader.Reads(), 1);

    // Each label keeps its own copy.
    TVersionLabel other;
    EXPECT_EQ(other.GetVersion(), QStringLiteral("1.5.0.0"));
    EXPECT_EQ(reader.Reads(), 2);
}

TEST(VersionLabel, EveryFailureIsQuietAndTriedAgain)
{
    struct Case
    {
        const char* what;
        std::optional<VersionResource> resource;
    };
    VersionResource noTranslations;
    noTranslations.StringTables["040904e4"]["FileVersion"] = "1.0";
    VersionResource noBlock = OneTranslation(0x0409, 0x04E4, "040704e4", "1.0");
    VersionResource noString = OneTranslation(0x0409, 0x04E4, "040904e4", "1.0");
    noString.StringTables["040904e4"].clear();
    noString.StringTables["040904e4"]["ProductVersion"] = "1.0";
    const Case cases[] = {
        {"no version information", std::nullopt},
        {"no translation table", noTranslations},
        {"no string block for the first translation", noBlock},
        {"no FileVersion in the block", noString},
    };
    for (const Case& failing : cases) {
        bool fixed = false;
        ScopedVersionReader reader([&]() -> std::optional<VersionResource> {
            if (fixed)
                return OneTranslation(0x0409, 0x04E4, "040904e4", "2.0.1.7");
            return failing.resource;
        });
        TVersionLabel label;
        EXPECT_EQ(label.GetVersion(), QString()) << failing.what;
        EXPECT_EQ(label.GetVersion(), QString()) << failing.what;
        EXPECT_EQ(reader.Reads(), 2) << failing.what;

        fixed = true;
        EXPECT_EQ(label.GetVersion(), QStringLiteral("2.0.1.7")) << failing.what;
        EXPECT_EQ(label.GetVersion(), QStringLiteral("2.0.1.7")) << failing.what;
        EXPECT_EQ(reader.Reads(), 3) << failing.what;
    }
}

TEST(VersionLabel, WithoutVersionInformationTheCaptionIsVersionAndABlank)
{
    ScopedVersionReader reader([] { return std::optional<VersionResource>(); });
    LoadedForm loaded;
    NotifyLoaded(&loaded.form);
    EXPECT_EQ(loaded.label->text(), QStringLiteral("Version "));
}

TEST(VersionLabel, OnlyTheFirstTranslationCounts)
{
    VersionResource resource;
    resource.Translations = {MakeTranslation(0x0413, 0x04E4), MakeTranslation(0x0409, 0x04E4)};
    resource.StringTables["041304e4"]["FileVersion"] = "6.1.0.3 (nl)";
    resource.StringTables["040904e4"]["FileVersion"] = "6.1.0.3 (en)";
    {
        ScopedVersionReader reader([&] { return resource; });
        LoadedForm loaded;
        NotifyLoaded(&loaded.form);
        EXPECT_EQ(loaded.label->text(), QStringLiteral("Version 6.1.0.3 (nl)"));
    }

    // The second translation is not a fallback for a first one without the string.
    resource.StringTables["041304e4"].erase("FileVersion");
    ScopedVersionReader reader([&] { return resource; });
    TVersionLabel label;
    EXPECT_EQ(label.GetVersion(), QString());
}

TEST(VersionLabel, BlockNamesMatchRegardlessOfCase)
{
    ScopedVersionReader reader(
        [] { return OneTranslation(0x0409, 0x04E4, "040904E4", "3.2.1.0"); });
    TVersionLabel label;
    EXPECT_EQ(label.GetVersion(), QStringLiteral("3.2.1.0"));
}

TEST(VersionLabel, LongFileVersionIsKeptWhole)
{
    const std::string longVersion =
        "10.20.30.40 release candidate 7 built on the nightly channel"; // 60 characters
    ASSERT_EQ(longVersion.size(), 60u);
    ScopedVersionReader reader(
        [&] { return OneTranslation(0x0409, 0x04E4, "040904e4", longVersion); });
    LoadedForm loaded;
    NotifyLoaded(&loaded.form);
    EXPECT_EQ(loaded.label->text(),
              QStringLiteral("Version ") + QString::fromStdString(longVersion));
    EXPECT_EQ(loaded.label->GetVersion(), QString::fromStdString(longVersion));
    EXPECT_EQ(reader.Reads(), 1);
}

TEST(VersionLabel, CreatedInCodeKeepsItsCaption)
{
    ScopedVersionReader reader(
        [] { return OneTranslation(0x0409, 0x04E4, "040904e4", "1.5.0.0"); });
    QWidget form;
    NotifyLoaded(&form); // the form was loaded before the label existed
    auto* label = new TVersionLabel(&form);
    label->setText(QStringLiteral("Made in code"));
    form.show();
    EXPECT_EQ(label->text(), QStringLiteral("Made in code"));
    EXPECT_EQ(reader.Reads(), 0);
    // Its owner asks for the version itself.
    EXPECT_EQ(label->GetVersion(), QStringLiteral("1.5.0.0"));
    EXPECT_EQ(label->text(), QStringLiteral("Made in code"));
}

#ifndef _WIN32
TEST(VersionLabel, ReadsTheCompiledInVersionStrings)
{
    ResetVersionResourceReader();
    SetProgramVersionInfo(VersionInfo{"Brisendale Software", "Quirefold", "1.5.0.0"});
    std::optional<VersionResource> resource = ReadProgramVersionResource();
    ASSERT_TRUE(resource.has_value());
    ASSERT_EQ(resource->Translations.size(), 1u);
    EXPECT_EQ(resource->Translations[0] & 0xFFFFu, 0x0409u);
    EXPECT_EQ(resource->Translations[0] >> 16, 0x04E4u);
    ASSERT_NE(resource->FindString("040904e4", "ProductName"), nullptr);
    EXPECT_EQ(*resource->FindString("040904e4", "ProductName"), "Quirefold");
    LoadedForm loaded;
    NotifyLoaded(&loaded.form);
    EXPECT_EQ(loaded.label->text(), QStringLiteral("Version 1.5.0.0"));

    SetProgramVersionInfo(std::nullopt);
    EXPECT_FALSE(ReadProgramVersionResource().has_value());
    LoadedForm bare;
    NotifyLoaded(&bare.form);
    EXPECT_EQ(bare.label->text(), QStringLiteral("Version "));
    ResetProgramVersionInfo();

    // The real build carries a version.
    TVersionLabel label;
    EXPECT_FALSE(label.GetVersion().isEmpty());
}
#endif

TEST(VersionResourceLookup, BlockNamesAndStrings)
{
    EXPECT_EQ(TranslationBlockName(MakeTranslation(0x0409, 0x04E4)), "040904e4");
    EXPECT_EQ(TranslationBlockName(MakeTranslation(0x0413, 0x04E4)), "041304e4");
    // Language first, code page second, lower case, four digits each.
    EXPECT_EQ(TranslationBlockName(MakeTranslation(0xABCD, 0x0001)), "abcd0001");
    EXPECT_EQ(TranslationBlockName(0x04B00000u), "000004b0");

    VersionResource resource;
    resource.StringTables["040904E4"]["FileVersion"] = "1.0";
    resource.StringTables["040704e4"]["FileVersion"] = "2.0";
    ASSERT_NE(resource.FindString("040904e4", "FileVersion"), nullptr);
    EXPECT_EQ(*resource.FindString("040904e4", "FileVersion"), "1.0");
    EXPECT_EQ(*resource.FindString("040704E4", "fileversion"), "2.0");
    EXPECT_EQ(resource.FindString("0409", "FileVersion"), nullptr);
    EXPECT_EQ(resource.FindString("040904e40", "FileVersion"), nullptr);
    EXPECT_EQ(resource.FindString("040904e4", "FileVersio"), nullptr);
}

namespace {

// Records the order in which controls hear that their form was loaded.
class TRecordingLabel : public QLabel, public TLoadable
{
public:
    TRecordingLabel(const QString& name, QStringList* log, QWidget* parent)
        : QLabel(parent), m_log(log)
    {
        setObjectName(name);
    }
    void Loaded() override
    {
        m_log->append(objectName());
        if (onLoaded)
            onLoaded();
    }
    std::function<void()> onLoaded;

private:
    QStringList* m_log;
};

} // namespace

TEST(FormLoading, EveryLoadableDescendantOnceInCreationOrder)
{
    QStringList log;
    QWidget form;
    auto* first = new TRecordingLabel(QStringLiteral("first"), &log, &form);
    auto* panel = new QWidget(&form); // not loadable itself, but its children are
    new TRecordingLabel(QStringLiteral("inner"), &log, panel);
    auto* innerPanel = new QWidget(panel);
    new TRecordingLabel(QStringLiteral("deep"), &log, innerPanel);
    new QLabel(&form);
    new TRecordingLabel(QStringLiteral("last"), &log, &form);
    auto* layout = new QVBoxLayout(&form); // layouts do not change who is notified
    layout->addWidget(first);
    layout->addWidget(panel);

    NotifyLoaded(&form);
    EXPECT_EQ(log, (QStringList{"first", "inner", "deep", "last"}));

    log.clear();
    NotifyLoaded(panel);
    EXPECT_EQ(log, (QStringList{"inner", "deep"}));
    NotifyLoaded(nullptr);
    EXPECT_EQ(log.size(), 2);
}

TEST(FormLoading, AControlMayDeleteALaterOneWhileLoading)
{
    QStringList log;
    QWidget form;
    auto* first = new TRecordingLabel(QStringLiteral("first"), &log, &form);
    QPointer<TRecordingLabel> second = new TRecordingLabel(QStringLiteral("second"), &log, &form);
    new TRecordingLabel(QStringLiteral("third"), &log, &form);
    first->onLoaded = [&] { delete second.data(); };

    NotifyLoaded(&form);
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(log, (QStringList{"first", "third"}));
}
