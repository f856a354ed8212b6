#pragma once

#include <QLineEdit>
#include <QLocale>
#include <QString>
#include <optional>

// Reads a number the way the edit does: optional blanks around it, an optional sign, digits with
// the locale's decimal separator and an optional exponent; no group separators. None when the
// text is not such a number.
std::optional<double> ParseLocaleNumber(const QString& text, const QLocale& locale);

// The general number format with the given significant digits: fixed notation unless the
// number has more integer digits than that or is below 0.0001, trailing zeros dropped, and an
// exponent without sign or leading zeros when positive (12.5, 1234568, 1E8, 1.5E-7).
QString FormatGeneralNumber(double value, int precision, const QLocale& locale);

// A one-line, right-aligned edit whose text is a floating-point value.
class TNumberEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum TNumberType
    {
        ntInteger,
        ntFloat
    };
    Q_ENUM(TNumberType)

private:
    Q_PROPERTY(float Value READ Value WRITE SetValue USER true)
    Q_PROPERTY(TNumberType NumberType READ NumberType WRITE SetNumberType)

public:
    explicit TNumberEdit(QWidget* parent = nullptr);

    // True when the text is a number in the user's locale that a 32-bit float can hold.
    bool Validate() const;

    // 0 when the text is not valid; Validate tells that apart from a real 0.
    float Value() const;
    // Shows the value with 7 significant digits.
    void SetValue(float value);
    void setValue(float value) { SetValue(value); }

    // Kept with the control; nothing reads it yet.
    TNumberType NumberType() const { return m_numberType; }
    void SetNumberType(TNumberType type) { m_numberType = type; }
    void setNumberType(TNumberType type) { SetNumberType(type); }

private:
    std::optional<float> ParsedValue() const;

    TNumberType m_numberType = ntInteger;
};
