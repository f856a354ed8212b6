#include "controls/UnitEdit.h"

#include "controls/NumberEdit.h"

#include <QLabel>
#include <QPalette>
#include <QShowEvent>

namespace {

constexpr int PartHeight = 20;
constexpr int UnitWidth = 30;
constexpr int EditGap = 30;    // the edit ends this far from the right edge
constexpr int UnitOffset = 28; // the caption starts this far from the right edge

} // namespace

TUnitEdit::TUnitEdit(QWidget* parent) : QWidget(parent)
{
    resize(width(), PartHeight);
    m_editColor = palette().color(QPalette::Base);
    m_unitColor = palette().color(QPalette::Button);
    ApplyUnitColor();
}

void TUnitEdit::SetUnit(const QString& unit)
{
    m_unit = unit;
    if (m_unitLabel)
        m_unitLabel->setText(unit);
}

float TUnitEdit::Value() const
{
    return m_edit ? m_edit->Value() : m_value;
}

void TUnitEdit::SetValue(float value)
{
    m_value = value;
    if (m_edit)
        m_edit->SetValue(value);
}

void TUnitEdit::SetEditColor(const QColor& color)
{
    m_editColor = color;
    ApplyEditColor();
}

void TUnitEdit::SetUnitColor(const QColor& color)
{
    m_unitColor = color;
    ApplyUnitColor();
}

void TUnitEdit::ApplyEditColor()
{
    if (!m_edit)
        return;
    QPalette editPalette = m_edit->palette();
    editPalette.setColor(QPalette::Base, m_editColor);
    m_edit->setPalette(editPalette);
}

void TUnitEdit::ApplyUnitColor()
{
    QPalette ownPalette = palette();
    ownPalette.setColor(QPalette::Window, m_unitColor);
    setPalette(ownPalette);
    setAutoFillBackground(true);
    if (!m_unitLabel)
        return;
    QPalette unitPalette = m_unitLabel->palette();
    unitPalette.setColor(QPalette::Window, m_unitColor);
    m_unitLabel->setPalette(unitPalette);
    m_unitLabel->setAutoFillBackground(true);
}

void TUnitEdit::Loaded()
{
    CreateParts();
}

void TUnitEdit::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    CreateParts();
}

QSize TUnitEdit::sizeHint() const
{
    return {m_edit ? m_edit->width() + EditGap : 120, PartHeight};
}

void TUnitEdit::CreateParts()
{
    // Made once; a later resize leaves them where they are.
    if (m_edit)
        return;
    const int w = width();
    m_edit = new TNumberEdit(this);
    m_edit->setGeometry(0, 0, qMax(0, w - EditGap), PartHeight);
    m_unitLabel = new QLabel(m_unit, this);
    m_unitLabel->setGeometry(w - UnitOffset, 2, UnitWidth, PartHeight - 2);
    // Whatever was set before the parts existed, a form's stored values included, shows now.
    if (m_value != 0)
        m_edit->SetValue(m_value);
    ApplyEditColor();
    ApplyUnitColor();
    m_edit->show();
    m_unitLabel->show();
}
