#pragma once

#include "controls/FormLoading.h"

#include <QLabel>
#include <QString>

// A label that shows "Version " and the FileVersion of the running program once its form has
// been loaded, whatever caption the form file stored.
class TVersionLabel : public QLabel, public TLoadable
{
    Q_OBJECT
public:
    explicit TVersionLabel(QWidget* parent = nullptr);

    // The FileVersion of the program's first translation. Read once and kept; a failed read
    // gives the empty text and is tried again on the next call.
    QString GetVersion();

    void Loaded() override;

private:
    QString m_versionText;
};
