#include "basewindow.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace
{
/// A window with a call that runs a nested event loop, as a download does.
class LoopWindow : public BaseWindow
{
public:
    using BaseWindow::BaseWindow;

    /// Runs a nested loop during which `during` runs; returns whether this object was still alive afterwards.
    bool runNested(const std::function<void()>& during)
    {
        BusyGuard guard(this);
        QPointer<LoopWindow> self(this);
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            during();
            // Deferred deletions posted meanwhile get every chance to run inside the nested loop.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QTimer::singleShot(10, &loop, &QEventLoop::quit);
        });
        loop.exec();
        return !self.isNull() && isInNestedLoop();
    }
};

QAbstractButton* titleButton(QWidget* w, const char* name)
{
    return w->findChild<QAbstractButton*>(QLatin1String(name));
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
} // namespace

class TestBaseWindow : public QObject
{
    Q_OBJECT

private slots:
    void titleIsPaintedAndNative();
    void flagsStayFrameless_data();
    void flagsStayFrameless();
    void minimiseButtonShownAndHidden();
    void titleButtonsAreAccessible();
    void closeButtonRejectsModalDialog();
    void closeButtonClosesNonModalWindow();
    void parentlessWindowIsFreedOnClose();
    void deletionWaitsForNestedLoop();
    void closeWithoutNestedLoopStillFrees();
    void keptWindowSurvivesClose();
    void windowRunWithExecBelongsToItsCaller_data();
    void windowRunWithExecBelongsToItsCaller();
    void baseStyleSheetStylesNormalButtons();
    void ownStyleSheetIsAddedToBase();
    void styleSheetsNameOnlyExistingImages_data();
    void styleSheetsNameOnlyExistingImages();
    void backgroundImages();
    void edgesResizeOverChildren();
    void edgesAt_data();
    void edgesAt();
    void resizedGeometryKeepsMinimum_data();
    void resizedGeometryKeepsMinimum();
};

void TestBaseWindow::titleIsPaintedAndNative()
{
    BaseWindow w(nullptr, false, QColor(250, 250, 250, 255));
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.setWindowTitle(QStringLiteral("皮肤设置"));
    QCOMPARE(w.titleText(), QStringLiteral("皮肤设置"));
    QCOMPARE(w.windowTitle(), QStringLiteral("皮肤设置"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowHandle()->title(), QStringLiteral("皮肤设置"));

    // The plain QWidget call (as generated form code makes it) reaches the painted title too.
    static_cast<QWidget&>(w).setWindowTitle(QStringLiteral("关于软件"));
    QCOMPARE(w.titleText(), QStringLiteral("关于软件"));

    // The title is drawn: the title bar is no longer plain background where the text starts.
    const QImage shot = w.grab().toImage();
    bool inked = false;
    for (int x = 10; x < 60 && !inked; ++x) {
        for (int y = 8; y < 22 && !inked; ++y) {
            inked = qGray(shot.pixel(x, y)) < 160;
        }
    }
    QVERIFY(inked);
}

void TestBaseWindow::flagsStayFrameless_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("type");

    QTest::newRow("stay on top") << int(Qt::WindowStaysOnTopHint) << int(Qt::Dialog);
    QTest::newRow("main window") << int(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                                        | Qt::FramelessWindowHint)
                                 << int(Qt::Tool);
    QTest::newRow("plain window") << int(Qt::Window) << int(Qt::Window);
}

void TestBaseWindow::flagsStayFrameless()
{
    QFETCH(int, flags);
    QFETCH(int, type);
    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setWindowFlags(Qt::WindowFlags(flags));
    const Qt::WindowFlags result = w.windowFlags();
    QVERIFY(result & Qt::FramelessWindowHint);
    QCOMPARE(int(result & Qt::WindowType_Mask), type);
    const Qt::WindowFlags hints = Qt::WindowFlags(flags) & ~Qt::WindowType_Mask;
    QCOMPARE(result & hints, hints);
    // A shown window stays shown.
    QVERIFY(w.isVisible());
    // Adding more keeps what was added before.
    w.setWindowFlags(Qt::WindowDoesNotAcceptFocus);
    QCOMPARE(w.windowFlags() & hints, hints);
    QVERIFY(w.windowFlags() & Qt::WindowDoesNotAcceptFocus);
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
}

void TestBaseWindow::minimiseButtonShownAndHidden()
{
    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.resize(268, 151);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QAbstractButton* min = titleButton(&w, "btnMin");
    QAbstractButton* close = titleButton(&w, "btnClose");
    QVERIFY(min && close);
    QVERIFY(min->isVisible());
    QVERIFY(close->isVisible());
    // Top right, side by side, inside the title bar.
    QCOMPARE(close->geometry().right() + 1 + 4, w.width());
    QCOMPARE(min->geometry().right() + 1, close->geometry().left());
    QVERIFY(close->geometry().bottom() < BaseWindow::TitleBarHeight);
    QCOMPARE(close->size(), QSize(24, 24));

    w.showMinBtn(false);
    QVERIFY(!min->isVisible());
    QVERIFY(close->isVisible());
    w.showMinBtn(true);
    QVERIFY(min->isVisible());

    // They follow a resize.
    w.resize(400, 200);
    QCOMPARE(close->geometry().right() + 1 + 4, 400);
}

void TestBaseWindow::titleButtonsAreAccessible()
{
    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(titleButton(&w, "btnMin")->accessibleName(), QStringLiteral("最小化"));
    QCOMPARE(titleButton(&w, "btnClose")->accessibleName(), QStringLiteral("关闭"));
}

void TestBaseWindow::closeButtonRejectsModalDialog()
{
    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QSignalSpy rejected(&w, &QDialog::rejected);
    bool answered = false;
    const TestUtil::Poll poll
        = TestUtil::answerModal([](QWidget* modal) { titleButton(modal, "btnClose")->click(); }, &answered);
    QCOMPARE(w.exec(), int(QDialog::Rejected));
    QVERIFY(answered);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!w.isVisible());
}

void TestBaseWindow::closeButtonClosesNonModalWindow()
{
    QWidget parent;
    auto* w = new BaseWindow(&parent);
    QVERIFY(!w->testAttribute(Qt::WA_DeleteOnClose));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    titleButton(w, "btnClose")->click();
    QVERIFY(!w->isVisible());
}

void TestBaseWindow::parentlessWindowIsFreedOnClose()
{
    QPointer<BaseWindow> w = new BaseWindow(nullptr);
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->onCloseWin();
    processDeferredDeletes();
    QVERIFY(w.isNull());
}

void TestBaseWindow::deletionWaitsForNestedLoop()
{
    QPointer<LoopWindow> w = new LoopWindow(nullptr);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    // Closed from inside its own nested loop (the user presses close during a download).
    const bool aliveAfterLoop = w->runNested([&w] { w->onCloseWin(); });
    QVERIFY(aliveAfterLoop);
    QVERIFY(!w.isNull());
    QVERIFY(!w->isVisible());
    // Once the call has returned, the window is freed.
    processDeferredDeletes();
    QVERIFY(w.isNull());
}

void TestBaseWindow::closeWithoutNestedLoopStillFrees()
{
    // A nested loop that ends without a close leaves the window alive and still set to free itself later.
    QPointer<LoopWindow> w = new LoopWindow(nullptr);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(w->runNested([] {}));
    processDeferredDeletes();
    QVERIFY(!w.isNull());
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    // Escape rejects the dialog, which closes and frees it.
    QTest::keyClick(w, Qt::Key_Escape);
    processDeferredDeletes();
    QVERIFY(w.isNull());
}

void TestBaseWindow::keptWindowSurvivesClose()
{
    QPointer<BaseWindow> w = new BaseWindow(nullptr);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->onCloseWin();
    processDeferredDeletes();
    QVERIFY(!w.isNull());
    QVERIFY(!w->isVisible());
    delete w.data();
}

void TestBaseWindow::windowRunWithExecBelongsToItsCaller_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("result");
    QTest::newRow("accepted") << QStringLiteral("accept") << int(QDialog::Accepted);
    QTest::newRow("title bar close button") << QStringLiteral("close button") << int(QDialog::Rejected);
    QTest::newRow("escape") << QStringLiteral("escape") << int(QDialog::Rejected);
    QTest::newRow("closed by the window system") << QStringLiteral("close") << int(QDialog::Rejected);
}

void TestBaseWindow::windowRunWithExecBelongsToItsCaller()
{
    // A parentless window run with exec() may be on the caller's stack, and the caller reads it afterwards:
    // however it ends, neither the end of exec() nor a later close frees it.
    QFETCH(QString, ending);
    QFETCH(int, result);
    QPointer<BaseWindow> w = new BaseWindow(nullptr);
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    bool answered = false;
    const TestUtil::Poll poll = TestUtil::answerModal(
        [&ending](QWidget* modal) {
            if (ending == QLatin1String("accept")) {
                static_cast<QDialog*>(modal)->accept();
            } else if (ending == QLatin1String("close button")) {
                titleButton(modal, "btnClose")->click();
            } else if (ending == QLatin1String("escape")) {
                QTest::keyClick(modal, Qt::Key_Escape);
            } else {
                modal->close();
            }
        },
        &answered);
    QCOMPARE(w->exec(), result);
    QVERIFY(answered);
    processDeferredDeletes();
    QVERIFY(!w.isNull());
    QVERIFY(!w->isVisible());
    w->close();
    processDeferredDeletes();
    QVERIFY(!w.isNull());
    delete w.data();
}

void TestBaseWindow::baseStyleSheetStylesNormalButtons()
{
    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    auto* button = new QPushButton(QStringLiteral("确定"), &w);
    button->setObjectName(QStringLiteral("btnNormal"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    button->adjustSize();
    QCOMPARE(button->size(), QSize(64, 25));
    QVERIFY(w.styleSheet().contains(QLatin1String("btnNormal")));
    QVERIFY(w.styleSheet().contains(QLatin1String(":/res/image/btn_style1_1.png")));
}

void TestBaseWindow::ownStyleSheetIsAddedToBase()
{
    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.setStyleSheet(QStringLiteral("QLabel{color:red}"));
    QVERIFY(w.styleSheet().contains(QLatin1String("btnNormal")));
    QVERIFY(w.styleSheet().contains(QLatin1String("QLabel{color:red}")));
}

void TestBaseWindow::styleSheetsNameOnlyExistingImages_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<bool>("namesImages");
    QTest::newRow("base") << QStringLiteral(":/res/qss/base.qss") << true;
    // The bar paints its arrows itself: its sheet names no image.
    QTest::newRow("scrollbar") << QStringLiteral(":/res/qss/scrollbar.qss") << false;
}

void TestBaseWindow::styleSheetsNameOnlyExistingImages()
{
    QFETCH(QString, sheet);
    QFETCH(bool, namesImages);
    QFile file(sheet);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression url(QStringLiteral("url\\(\\s*([^)\\s]+)\\s*\\)"));
    int count = 0;
    for (auto it = url.globalMatch(text); it.hasNext();) {
        const QString path = it.next().captured(1);
        QVERIFY2(path.startsWith(QLatin1String(":/res/")), qPrintable(path));
        QVERIFY2(!QImage(path).isNull(), qPrintable(path));
        ++count;
    }
    QCOMPARE(count > 0, namesImages);
}

void TestBaseWindow::backgroundImages()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QImage bottom(40, 80, QImage::Format_RGB32);
    bottom.fill(QColor(10, 120, 30));
    QImage top(40, 20, QImage::Format_RGB32);
    top.fill(QColor(200, 30, 30));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Skins/main_bg/2"))));
    QVERIFY(bottom.save(dir.filePath(QStringLiteral("Skins/main_bg/2/main_bg_bottom.png"))));
    QVERIFY(top.save(dir.filePath(QStringLiteral("Skins/main_bg/2/main_bg_top.png"))));
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());

    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.resize(200, 300);
    QImage shot = w.grab().toImage();
    QCOMPARE(shot.pixelColor(100, 150), QColor(250, 250, 250));

    // Design-style paths; the second without extension.
    w.setBg(QStringLiteral("skins\\main_bg\\2\\main_bg_bottom.png"));
    w.setBg2(QStringLiteral("skins\\main_bg\\2\\main_bg_top"));
    QDir::setCurrent(old);
    QVERIFY(!w.bgImage().isNull());
    QVERIFY(!w.bg2Image().isNull());
    shot = w.grab().toImage();
    // The band keeps its 20 pixel height across the whole width; the rest is the stretched background.
    QCOMPARE(shot.pixelColor(150, 10), QColor(200, 30, 30));
    QCOMPARE(shot.pixelColor(150, 25), QColor(10, 120, 30));
    QCOMPARE(shot.pixelColor(100, 250), QColor(10, 120, 30));

    // A missing image leaves the colour.
    w.setBg(QStringLiteral("skins\\main_bg\\9\\main_bg_bottom.png"));
    w.setBg2(QString());
    shot = w.grab().toImage();
    QCOMPARE(shot.pixelColor(100, 150), QColor(250, 250, 250));
}

void TestBaseWindow::edgesResizeOverChildren()
{
    BaseWindow w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.resizeEnable(true);
    w.setMinimumSize(200, 150);
    w.resize(300, 200);
    auto* plain = new QWidget(&w);
    plain->setGeometry(0, 40, 300, 60);
    auto* bar = new QScrollBar(Qt::Vertical, &w);
    bar->setRange(0, 100);
    bar->setGeometry(292, 110, 8, 60);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // The right edge, where a control covers it, resizes the window (this platform has no window manager to
    // hand the resize to, so the window does it itself).
    QTest::mousePress(plain, Qt::LeftButton, {}, QPoint(298, 30));
    QTest::mouseMove(plain, QPoint(338, 30));
    QTest::mouseRelease(plain, Qt::LeftButton, {}, QPoint(338, 30));
    QTRY_COMPARE(w.width(), 340);
    QCOMPARE(w.height(), 200);

    // Never below the minimum.
    QTest::mousePress(plain, Qt::LeftButton, {}, QPoint(338, 30));
    QTest::mouseMove(plain, QPoint(0, 30));
    QTest::mouseRelease(plain, Qt::LeftButton, {}, QPoint(0, 30));
    QTRY_COMPARE(w.width(), 200);

    // A slim scroll bar along the edge keeps its clicks.
    w.resize(300, 200);
    QTRY_COMPARE(w.width(), 300);
    bar->move(292, 110);
    QSignalSpy pressed(bar, &QScrollBar::sliderPressed);
    QSignalSpy actions(bar, &QScrollBar::actionTriggered);
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(6, 40));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(6, 40));
    QVERIFY(pressed.count() + actions.count() > 0);
    QCOMPARE(w.width(), 300);
}

void TestBaseWindow::edgesAt_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("edges");

    const int m = BaseWindow::ResizeMargin;
    QTest::newRow("inside") << QPoint(100, 100) << 0;
    QTest::newRow("left") << QPoint(0, 100) << int(Qt::LeftEdge);
    QTest::newRow("left inner limit") << QPoint(m - 1, 100) << int(Qt::LeftEdge);
    QTest::newRow("just inside left") << QPoint(m, 100) << 0;
    QTest::newRow("right") << QPoint(199, 100) << int(Qt::RightEdge);
    QTest::newRow("top") << QPoint(100, 0) << int(Qt::TopEdge);
    QTest::newRow("bottom") << QPoint(100, 299) << int(Qt::BottomEdge);
    QTest::newRow("top-left") << QPoint(0, 0) << int(Qt::TopEdge | Qt::LeftEdge);
    QTest::newRow("bottom-right") << QPoint(199, 299) << int(Qt::BottomEdge | Qt::RightEdge);
    QTest::newRow("corner grip along the bottom") << QPoint(195 - m, 299) << int(Qt::BottomEdge | Qt::RightEdge);
    QTest::newRow("corner grip along the left") << QPoint(0, 2) << int(Qt::TopEdge | Qt::LeftEdge);
    QTest::newRow("outside") << QPoint(-1, 100) << 0;
}

void TestBaseWindow::edgesAt()
{
    QFETCH(QPoint, pos);
    QFETCH(int, edges);
    QCOMPARE(int(BaseWindow::edgesAt(QSize(200, 300), pos)), edges);
}

void TestBaseWindow::resizedGeometryKeepsMinimum_data()
{
    QTest::addColumn<int>("edges");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("right grows") << int(Qt::RightEdge) << QPoint(30, 0) << QRect(100, 100, 300, 580);
    QTest::newRow("right shrinks to minimum") << int(Qt::RightEdge) << QPoint(-200, 0) << QRect(100, 100, 200, 580);
    QTest::newRow("left grows, right edge stays") << int(Qt::LeftEdge) << QPoint(-30, 0) << QRect(70, 100, 300, 580);
    QTest::newRow("left shrinks to minimum, right edge stays")
        << int(Qt::LeftEdge) << QPoint(500, 0) << QRect(170, 100, 200, 580);
    QTest::newRow("top shrinks to minimum") << int(Qt::TopEdge) << QPoint(0, 400) << QRect(100, 280, 270, 400);
    QTest::newRow("bottom-right") << int(Qt::BottomEdge | Qt::RightEdge) << QPoint(10, 20) << QRect(100, 100, 280, 600);
    QTest::newRow("bottom beyond maximum") << int(Qt::BottomEdge) << QPoint(0, 5000) << QRect(100, 100, 270, 1000);
}

void TestBaseWindow::resizedGeometryKeepsMinimum()
{
    QFETCH(int, edges);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QCOMPARE(BaseWindow::resizedGeometry(
                 QRect(100, 100, 270, 580), Qt::Edges(edges), delta, QSize(200, 400), QSize(2000, 1000)),
             expected);
}

QTEST_MAIN(TestBaseWindow)
#include "tst_basewindow.moc"
