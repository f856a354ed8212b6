#pragma once

#include "controls/FormLoading.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;
class TNumberEdit;

// A number edit with a short unit caption to its right. The two parts are made once, when the
// form has been loaded or when the control is first shown, and placed for the width it has then.
class TUnitEdit : public QWidget, public TLoadable
{
    Q_OBJECT
    Q_PROPERTY(QString Unit READ Unit WRITE SetUnit)
    Q_PROPERTY(float Value READ Value WRITE SetValue USER true)
    Q_PROPERTY(QColor EditColor READ EditColor WRITE SetEditColor)
    Q_PROPERTY(QColor UnitColor READ UnitColor WRITE SetUnitColor)
public:
    explicit TUnitEdit(QWidget* parent = nullptr);

    QString Unit() const { return m_unit; }
    void SetUnit(const QString& unit);
    void setUnit(const QString& unit) { SetUnit(unit); }

    // Before the parts exist, the value that they will show.
    float Value() const;
    void SetValue(float value);
    void setValue(float value) { SetValue(value); }

    QColor EditColor() const { return m_editColor; }
    void SetEditColor(const QColor& color);
    void setEditColor(const QColor& color) { SetEditColor(color); }

    // Also the control's own background.
    QColor UnitColor() const { return m_unitColor; }
    void SetUnitColor(const QColor& color);
    void setUnitColor(const QColor& color) { SetUnitColor(color); }

    void Loaded() override;

    // The parts; null until they are made.
    TNumberEdit* Edit() const { return m_edit; }
    QLabel* UnitLabel() const { return m_unitLabel; }

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateParts();
    void ApplyEditColor();
    void ApplyUnitColor();

    TNumberEdit* m_edit = nullptr;
    QLabel* m_unitLabel = nullptr;
    QString m_unit;
    float m_value = 0;
    QColor m_editColor;
    QColor m_unitColor;
};
