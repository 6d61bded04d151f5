#pragma once

#include <QColor>
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QStringList>

class QSkinButton;

/// Base of every window: a frameless dialog that paints its own title bar (title, minimise and close buttons),
/// its background colour and images, moves when dragged by the title bar or empty background and, when enabled,
/// resizes from its edges and corners.
///
/// A window made without a parent and shown with show() frees itself when it is closed (Qt::WA_DeleteOnClose; a
/// subclass may switch it off), but never while one of its own calls runs a nested event loop: such a call holds
/// a BusyGuard and the deletion waits until the call has returned. A window run with exec() belongs to the caller
/// from then on and is never freed by closing it: it may live on the caller's stack, and the caller reads its
/// results after exec() returns. A window carries the shared style sheet base.qss unless it is made with
/// SharedStyle::Left; style sheets set later are added to it.
class BaseWindow : public QDialog
{
    Q_OBJECT

public:
    /// Whether the window carries the shared style sheet. A window whose controls all paint themselves leaves it,
    /// so that none of its children is polished through a style sheet (that polish is a large part of showing a
    /// window); such a window gives sharedStyleSheet() to the standard controls it has.
    enum class SharedStyle
    {
        Carried,
        Left,
    };

    /// `resizable` is the initial state of resizeEnable(); `bgColor` shows where no background image is.
    explicit BaseWindow(QWidget* parent = nullptr,
                        bool resizable = false,
                        const QColor& bgColor = QColor(250, 250, 250, 255),
                        SharedStyle style = SharedStyle::Carried);
    ~BaseWindow() override;

    /// Sets the painted title and the native window title.
    void setWindowTitle(const QString& title);
    /// Adds the given flags; the window stays frameless. A window type among them (Qt::Tool, say) replaces
    /// the current type.
    void setWindowFlags(Qt::WindowFlags flags);
    void resizeEnable(bool enable);
    bool isResizeEnabled() const;
    void showMinBtn(bool show);
    /// Background image scaled to the window; a path without extension gets ".png". Design-style paths
    /// (backslashes, "skins") are accepted.
    void setBg(const QString& path);
    /// Band image painted over the top of the window; same path rules as setBg().
    void setBg2(const QString& path);

    /// Sets the window's own style sheet, added after the shared base.qss (which every window keeps).
    void setStyleSheet(const QString& styleSheet);

    /// The title painted in the title bar.
    QString titleText() const;
    /// The background colour given to the constructor.
    QColor bgColor() const;
    /// The images set by setBg()/setBg2(), null when none (or missing).
    QPixmap bgImage() const;
    QPixmap bg2Image() const;
    /// The shared style sheet (base.qss) every window carries unless made with SharedStyle::Left.
    static const QString& sharedStyleSheet();
    /// The images of the title bar's buttons, for reading them ahead of the first window (SkinPath::preload).
    static QStringList titleButtonImages();
    /// Which edges the point `pos` (window coordinates) resizes from, with `margin` pixels of grip;
    /// empty inside the window.
    static Qt::Edges edgesAt(const QSize& size, const QPoint& pos, int margin = ResizeMargin);
    /// The geometry a resize from `edges` by `delta` gives, starting from `start`, within min and max sizes.
    static QRect resizedGeometry(
        const QRect& start, Qt::Edges edges, const QPoint& delta, const QSize& minimum, const QSize& maximum);

    /// Held by a call that runs a nested event loop (a download, a modal question): while any guard lives, the
    /// window is not deleted by closing it; if it was closed meanwhile it is deleted after the last guard ends.
    class BusyGuard
    {
    public:
        explicit BusyGuard(BaseWindow* window);
        ~BusyGuard();
        BusyGuard(const BusyGuard&) = delete;
        BusyGuard& operator=(const BusyGuard&) = delete;

    private:
        QPointer<BaseWindow> m_window;
    };

    /// Runs the window modally (QDialog::exec()); the window no longer frees itself on close, now or later.
    int exec() override;

    /// Height of the painted title bar.
    static constexpr int TitleBarHeight = 30;
    /// Width of the resize grip along the edges.
    static constexpr int ResizeMargin = 4;

public slots:
    /// The close command (title bar close button): closes the window; a modal dialog is rejected.
    virtual void onCloseWin();
    /// The minimise command (title bar minimise button): minimises the window.
    virtual void onMinWin();

protected:
    void beginNestedLoop();
    void endNestedLoop();
    bool isInNestedLoop() const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void done(int result) override;

private:
    friend class BaseWindowEdgeFilter;
    void layoutTitleButtons();
    void applyStyleSheet();
    bool handleMouse(QWidget* target, QEvent* event);

    struct Private;
    Private* d;
};
