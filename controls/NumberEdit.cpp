#include "controls/NumberEdit.h"

#include <QByteArray>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Digits of |value| rounded half away from zero to `precision` significant digits, and the
// decimal exponent of the first digit.
void RoundDecimal(double value, int precision, std::string& digits, int& exponent)
{
    // 17 significant digits hold every double exactly enough to decide a rounding at 7.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.16e", std::fabs(value));
    const std::string text(buffer);
    const std::size_t ePos = text.find('e');
    std::string all = text.substr(0, 1) + text.substr(2, ePos - 2);
    exponent = std::stoi(text.substr(ePos + 1));
    digits = all.substr(0, static_cast<std::size_t>(precision));
    if (all[static_cast<std::size_t>(precision)] >= '5') {
        int i = precision - 1;
        for (; i >= 0; --i) {
            if (digits[static_cast<std::size_t>(i)] != '9') {
                ++digits[static_cast<std::size_t>(i)];
                break;
            }
            digits[static_cast<std::size_t>(i)] = '0';
        }
        if (i < 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

} // namespace

std::optional<double> ParseLocaleNumber(const QString& text, const QLocale& locale)
{
    const QString separator = locale.decimalPoint();
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;

    // Rebuilt in the C form for the conversion, so that the locale only decides the separator.
    std::string plain;
    if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            plain += '-';
        ++i;
    }
    int mantissaDigits = 0;
    while (i < end && IsDigit(text[i])) {
        plain += static_cast<char>(text[i++].unicode());
        ++mantissaDigits;
    }
    if (!separator.isEmpty() && text.mid(i, separator.size()) == separator) {
        plain += '.';
        i += separator.size();
        while (i < end && IsDigit(text[i])) {
            plain += static_cast<char>(text[i++].unicode());
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < end && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        plain += 'e';
        ++i;
        if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            plain += static_cast<char>(text[i++].unicode());
        int exponentDigits = 0;
        while (i < end && IsDigit(text[i])) {
            plain += static_cast<char>(text[i++].unicode());
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != end)
        return std::nullopt;

    double value = 0;
    const char* first = plain.data();
    const char* last = first + plain.size();
    const std::from_chars_result result = std::from_chars(first, last, value);
    // An exponent beyond the range of a double is out of range, not a number to show.
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString FormatGeneralNumber(double value, int precision, const QLocale& locale)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    std::string digits;
    int exponent = 0;
    RoundDecimal(value, precision, digits, exponent);
    const QString separator = locale.decimalPoint();
    QString out = value < 0 ? QStringLiteral("-") : QString();
    const int pointPosition = exponent + 1; // digits before the decimal point
    const int count = static_cast<int>(digits.size());
    if (pointPosition > precision || pointPosition < -3) {
        out += QLatin1Char(digits[0]);
        if (count > 1)
            out += separator + QString::fromLatin1(digits.data() + 1, count - 1);
        out += QLatin1Char('E') + QString::number(exponent);
    } else if (pointPosition <= 0) {
        out += QLatin1Char('0') + separator + QString(-pointPosition, QLatin1Char('0')) +
               QString::fromLatin1(digits.data(), count);
    } else if (count <= pointPosition) {
        out += QString::fromLatin1(digits.data(), count) +
               QString(pointPosition - count, QLatin1Char('0'));
    } else {
        out += QString::fromLatin1(digits.data(), pointPosition) + separator +
               QString::fromLatin1(digits.data() + pointPosition, count - pointPosition);
    }
    return out;
}

TNumberEdit::TNumberEdit(QWidget* parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

std::optional<float> TNumberEdit::ParsedValue() const
{
    const std::optional<double> number = ParseLocaleNumber(text(), QLocale());
    if (!number)
        return std::nullopt;
    // A number beyond the float range is not a value this edit can give.
    const float value = static_cast<float>(*number);
    if (std::isinf(value))
        return std::nullopt;
    return value;
}

bool TNumberEdit::Validate() const
{
    return ParsedValue().has_value();
}

float TNumberEdit::Value() const
{
    return ParsedValue().value_or(0.0f);
}

void TNumberEdit::SetValue(float value)
{
    setText(FormatGeneralNumber(value, 7, QLocale()));
}
