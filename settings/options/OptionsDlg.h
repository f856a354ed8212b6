#pragma once

#include "engine/SplitSettings.h"

#include <QDialog>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QLineEdit;

namespace Ui {
class TOptionsDlg;
}

// The options dialog. Its controls hold the current split settings: OK stores them, Cancel (or
// Escape) reloads them from the store, the close box keeps the edits in force unstored. Made
// once at start-up and shown modally as often as needed.
class TOptionsDlg : public QDialog
{
    Q_OBJECT

public:
    // Runs the file dialog of a Browse button: the chosen file or folder, or nothing when
    // cancelled.
    using BrowseRunner = std::function<std::optional<QString>(QFileDialog&)>;

    explicit TOptionsDlg(QWidget* parent = nullptr);
    ~TOptionsDlg() override;

    // The settings as the controls show them now; disabled controls count as well.
    SplitSettings CurrentSettings() const;
    // Fills the controls from the store and applies the enabling rules.
    void LoadSettings();
    // Stores the eighteen settings the controls show.
    void SaveSettings();
    // The preview markup for the controls' values, texts inserted as they are.
    QString BuildPreviewHtml() const;
    void UpdatePreview();

    // Sizes and places the dialog inside area (a screen's free part; the window frame counts):
    // at its full size where that fits, otherwise with the groups scrolling beside the buttons.
    // Showing the dialog fits it into its screen.
    void FitInto(const QRect& area);

    // Replaces how the Browse buttons (images and output folder) run their file dialogs; an
    // empty runner restores exec().
    void SetBrowseRunner(BrowseRunner runner);

signals:
    // The help topic to show; the dialog stays open.
    void HelpRequested(const QString& topic);
    // The preview was built anew: once per change of a control, once per load.
    void PreviewUpdated();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void EditChange();
    void AddLinksCheckboxClick();
    void UseImagesCheckboxClick();
    void BreadcrumbsCheckboxClick();
    void RadioGroup1Click();
    void BrowseBtnClick(QObject* sender);
    void BrowseFolderBtnClick();
    void OKBtnClick();
    void CancelBtnClick();
    void HelpButtonClick();
    void MoreHelpBtnClick();

    void ShowSettings(const SplitSettings& settings);
    void EnableImageRows();
    void EnableBreadcrumbsByLevel();
    void SetEditColour(QLineEdit* edit, bool enabled);
    void SizeGroups();
    void ShowFocusInView();
    QFileDialog& OpenDialog1();
    QFileDialog& FolderDialog();

    std::unique_ptr<Ui::TOptionsDlg> ui;
    QFileDialog* m_openDialog1 = nullptr;  // made at the first Browse, owned as a child
    QFileDialog* m_folderDialog = nullptr; // the same for the output folder
    BrowseRunner m_browseRunner;
    bool m_loading = false;         // LoadSettings is setting the controls
    bool m_previewQueued = false;   // a palette change has a preview update waiting
    std::optional<QRect> m_fitArea; // where the dialog was last fitted
};
