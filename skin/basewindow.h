#pragma once

#include <QColor>
#include <QDialog>
#include <QPixmap>

class QSkinButton;

/// Base of every window: a frameless dialog that paints its own title bar (title, minimise and close buttons),
/// its background colour and images, moves when dragged by the title bar or empty background and, when enabled,
/// resizes from its edges and corners.
class BaseWindow : public QDialog
{
    Q_OBJECT

public:
    /// `resizable` is the initial state of resizeEnable(); `bgColor` shows where no background image is.
    explicit BaseWindow(QWidget* parent = nullptr, bool resizable = false,
                        const QColor& bgColor = QColor(250, 250, 250, 255));
    ~BaseWindow() override;

    /// Sets the painted title and the native window title.
    void setWindowTitle(const QString& title);
    /// Adds the given flags; the window stays frameless.
    void setWindowFlags(Qt::WindowFlags flags);
    void resizeEnable(bool enable);
    void showMinBtn(bool show);
    /// Background image scaled to the window; a path without extension gets ".png". Design-style paths
    /// (backslashes, "skins") are accepted.
    void setBg(const QString& path);
    /// Band image painted over the top of the window; same path rules as setBg().
    void setBg2(const QString& path);

    /// Height of the painted title bar.
    static constexpr int TitleBarHeight = 30;

public slots:
    /// The close command (title bar close button): closes the window; a modal dialog is rejected.
    virtual void onCloseWin();
    /// The minimise command (title bar minimise button): minimises the window.
    virtual void onMinWin();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Private;
    Private* d;
};
