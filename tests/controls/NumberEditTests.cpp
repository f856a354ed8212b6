#include "controls/NumberEdit.h"

#include <QLocale>
#include <QString>
#include <gtest/gtest.h>

namespace {

// Sets the default locale for one test and puts the previous one back.
class ScopedLocale
{
public:
    explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(m_previous); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    QLocale m_previous;
};

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

QString Shown(float value)
{
    TNumberEdit edit;
    edit.SetValue(value);
    return edit.text();
}

} // namespace

TEST(NumberEdit, TextThatIsNoNumberReadsAsZeroAndFailsValidation)
{
    ScopedLocale locale(English);
    TNumberEdit edit;
    EXPECT_TRUE(edit.alignment() & Qt::AlignRight);
    EXPECT_EQ(edit.NumberType(), TNumberEdit::ntInteger);
    for (const char* text : {"abc", "", "  ", "1,5", "1.2.3", "--1", "1e", "1e+", ".", "-", "1 2",
                             "0x10", "inf", "nan", "12abc", "1e39", "-1e39", "1e400"}) {
        SCOPED_TRACE(text);
        edit.setText(QString::fromLatin1(text));
        EXPECT_FALSE(edit.Validate());
        EXPECT_EQ(edit.Value(), 0.0f);
    }
    edit.setText(QStringLiteral("0"));
    EXPECT_TRUE(edit.Validate());
    EXPECT_EQ(edit.Value(), 0.0f);
}

TEST(NumberEdit, NumbersReadWithSignsBlanksAndExponents)
{
    ScopedLocale locale(English);
    TNumberEdit edit;
    const struct
    {
        const char* text;
        float value;
    } cases[] = {
        {"12.5", 12.5f},  {"  -3  ", -3.0f},  {"+.5", 0.5f},    {"5.", 5.0f},
        {"1E3", 1000.0f}, {"2.5e-2", 0.025f}, {"1e+2", 100.0f}, {"3e38", 3e38f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        edit.setText(QString::fromLatin1(c.text));
        EXPECT_TRUE(edit.Validate());
        EXPECT_EQ(edit.Value(), c.value);
    }
}

TEST(NumberEdit, ValuesShowInTheGeneralFormatWithSevenDigits)
{
    ScopedLocale locale(English);
    EXPECT_EQ(Shown(12.5f), QStringLiteral("12.5"));
    EXPECT_EQ(Shown(1234567.8f), QStringLiteral("1234568"));
    EXPECT_EQ(Shown(1e8f), QStringLiteral("1E8"));
    EXPECT_EQ(Shown(12345678.0f), QStringLiteral("1.234568E7"));
    EXPECT_EQ(Shown(9999999.0f), QStringLiteral("9999999"));
    EXPECT_EQ(Shown(100.0f), QStringLiteral("100"));
    EXPECT_EQ(Shown(0.0f), QStringLiteral("0"));
    EXPECT_EQ(Shown(-0.0f), QStringLiteral("0"));
    EXPECT_EQ(Shown(0.0001f), QStringLiteral("0.0001"));
    EXPECT_EQ(Shown(0.00001f), QStringLiteral("1E-5"));
    EXPECT_EQ(Shown(-2.5e-7f), QStringLiteral("-2.5E-7"));
    EXPECT_EQ(Shown(-1.5f), QStringLiteral("-1.5"));
    EXPECT_EQ(Shown(3e38f), QStringLiteral("3E38"));

    // Rounding goes half away from zero, and a carry can add a digit.
    EXPECT_EQ(FormatGeneralNumber(12345665.0, 7, English), QStringLiteral("1.234567E7"));
    EXPECT_EQ(FormatGeneralNumber(-0.125, 2, English), QStringLiteral("-0.13"));
    EXPECT_EQ(FormatGeneralNumber(9999999.6, 7, English), QStringLiteral("1E7"));
    EXPECT_EQ(FormatGeneralNumber(999.99996, 7, English), QStringLiteral("1000"));
}

TEST(NumberEdit, AValueSurvivesItsOwnTextAsTheNearestFloat)
{
    ScopedLocale locale(English);
    TNumberEdit edit;
    edit.SetValue(0.1f);
    EXPECT_EQ(edit.text(), QStringLiteral("0.1"));
    EXPECT_TRUE(edit.Validate());
    EXPECT_EQ(edit.Value(), 0.1f);
    EXPECT_NE(static_cast<double>(edit.Value()), 0.1);

    for (float value : {12.5f, 1e8f, -2.5e-7f, 1234567.0f, 0.3f}) {
        SCOPED_TRACE(value);
        edit.SetValue(value);
        EXPECT_EQ(edit.Value(), value);
    }
}

TEST(NumberEdit, TheUsersDecimalSeparatorIsUsedBothWays)
{
    ScopedLocale locale(German);
    TNumberEdit edit;
    edit.SetValue(12.5f);
    EXPECT_EQ(edit.text(), QStringLiteral("12,5"));
    EXPECT_EQ(edit.Value(), 12.5f);
    edit.SetValue(-2.5e-7f);
    EXPECT_EQ(edit.text(), QStringLiteral("-2,5E-7"));
    edit.SetValue(1e8f);
    EXPECT_EQ(edit.text(), QStringLiteral("1E8"));

    edit.setText(QStringLiteral("0,25"));
    EXPECT_TRUE(edit.Validate());
    EXPECT_EQ(edit.Value(), 0.25f);
    // The point is not this locale's separator, and group separators are not read.
    for (const char* text : {"0.25", "1.000", "1.000,5"}) {
        SCOPED_TRACE(text);
        edit.setText(QString::fromLatin1(text));
        EXPECT_FALSE(edit.Validate());
        EXPECT_EQ(edit.Value(), 0.0f);
    }
}
