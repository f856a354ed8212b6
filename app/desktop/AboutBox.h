#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutBox;
}

// The about box: program icon, name, version, the maker's web site and contact address. OK
// (or Enter) closes it; Escape does not, as there is no Cancel button; the close box closes
// it with the cancel result. Made once and shown modally as often as asked.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutBox> ui;
};
