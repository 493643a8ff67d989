#pragma once

// The skinned question shown before a device whose firmware is newer than
// the tool's is updated: a caption-less window with the product's
// background, message and button pictures, dragged by any point. OK answers
// Accepted; Cancel and the exit button answer Rejected.

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <filesystem>
#include <optional>

namespace txisp::ui {

class CButtonST;
class CTransparentStatic;

class C_UpgradeWarningDlg : public QDialog {
    Q_OBJECT

public:
    // `settings_folder` is the unpacked Settings folder: UISettings.ini and
    // Image/ inside it. Texts and pictures are read each time the dialog
    // opens, so an edited file takes effect without restarting.
    explicit C_UpgradeWarningDlg(std::filesystem::path settings_folder, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void LoadTexts();
    void LoadPictures();

    std::filesystem::path settings_folder_;
    QPixmap background_;
    CButtonST* ok_;
    CButtonST* cancel_;
    CButtonST* exit_;
    CTransparentStatic* message_;
    // Where in the window the drag started; empty while not dragging.
    std::optional<QPoint> drag_offset_;
};

}  // namespace txisp::ui
