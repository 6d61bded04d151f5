#include "gallerywindow.h"

#include "qqtab.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "qskinmenu.h"
#include "skinpath.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QEnterEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

namespace
{
constexpr int kWidth = 790;
constexpr int kHeight = 600;
constexpr int kColumn = 270; // the main window's width: the left column repeats its layout
constexpr int kCardX = 282;
constexpr int kCardY = 40;

/// A white panel with rounded corners that keeps the samples readable over any skin.
class Card : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0xc8, 0xd0, 0xda));
        p.setBrush(QColor(255, 255, 255, 238));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
};

QPixmap icon32(const QString& designPath)
{
    const QPixmap pm = SkinPath::pixmap(designPath);
    return pm.isNull() ? pm : pm.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
} // namespace

GalleryWindow::GalleryWindow(QWidget* parent)
    : BaseWindow(parent, false, QColor(250, 250, 250, 255))
{
    setObjectName(QStringLiteral("GalleryWindow"));
    BaseWindow::setWindowTitle(QStringLiteral("Brisko 皮肤控件一览"));
    resize(kWidth, kHeight);
    setMinimumSize(kWidth, kHeight);
    resizeEnable(true);
    applySkin(nullptr);
    buildMainColumn();
    buildCard();
    fillTrees();
    followResizes();

    auto* clock = new QTimer(this);
    auto tick = [this] {
        const QDateTime now = QDateTime::currentDateTime();
        m_dateLabel->setText(now.toString(QStringLiteral("yyyy-MM-dd")), QColor(0, 0, 0));
        m_timeLabel->setText(QLocale(QLocale::Chinese, QLocale::China).toString(now, QStringLiteral("ddd hh:mm:ss")),
                             QColor(0, 0, 0));
    };
    tick();
    connect(clock, &QTimer::timeout, this, tick);
    clock->start(1000);
}

void GalleryWindow::applySkin(QSkinButton* button)
{
    const int n = button ? button->getId() : 1;
    setBg(QStringLiteral("skins\\main_bg\\%1\\main_bg_bottom.png").arg(n));
    setBg2(QStringLiteral("skins\\main_bg\\%1\\main_bg_top").arg(n));
    for (QSkinButton* preview : m_previews) {
        if (preview) {
            preview->setChecked(preview->getId() == n);
        }
    }
}

void GalleryWindow::selectSkin(int n)
{
    if (n >= 1 && n <= 4 && m_previews[n - 1]) {
        applySkin(m_previews[n - 1]);
    }
}

QSkinLabel* GalleryWindow::heading(QWidget* parent, const QString& text, int x, int y)
{
    auto* label = new QSkinLabel(parent);
    QFont f = font();
    f.setBold(true);
    label->setFont(f);
    label->setText(text, QColor(0x5a, 0x64, 0x72));
    label->setGeometry(x, y, 440, 18);
    return label;
}

void GalleryWindow::buildMainColumn()
{
    const int W = kColumn;
    const int H = kHeight;

    auto* logo = new QSkinLabel(this);
    logo->setImg(QStringLiteral("Skins\\icon\\office.png"));
    logo->setGeometry(14, 36, 50, 50);
    m_dateLabel = new QSkinLabel(this);
    m_dateLabel->setGeometry(80, 34, 180, 30);
    m_timeLabel = new QSkinLabel(this);
    m_timeLabel->setGeometry(80, 60, 200, 30);

    auto* searchButton = new QSkinButton(this);
    searchButton->setImg(QStringLiteral("Skins\\search_bg.png"));
    searchButton->setGeometry(0, 100, W, 30);
    searchButton->setBtnStyle(QSkinButton::StyleSearchPrompt);
    searchButton->setText(QStringLiteral("输入图标关键字进行搜索"));
    auto* searchIcon = new QSkinLabel(this);
    searchIcon->setImg(QStringLiteral("Skins\\icon\\search.png"));
    searchIcon->setGeometry(W - 25, 105, 20, 20);

    m_tab = new QQTab(this);
    m_tab->setGeometry(1, 130, W - 2, 30);
    const QRect treeArea(0, 160, W, H - 192);
    m_iconTree = new QQTree(this);
    m_iconTree->setGeometry(treeArea);
    m_siteTree = new QQTree(this);
    m_siteTree->setGeometry(treeArea);
    m_recentTree = new QQTree(this);
    m_recentTree->setGeometry(treeArea);
    const QString tabDir = QStringLiteral("Skins\\MainTabCtrl\\");
    const QString hover = tabDir + QStringLiteral("main_tab_highlight.png");
    const QString check = tabDir + QStringLiteral("main_tab_check.png");
    m_tab->addItem(m_iconTree->getScroll(),
                   hover,
                   check,
                   tabDir + QStringLiteral("desk.png"),
                   tabDir + QStringLiteral("desk_gray.png"),
                   QStringLiteral("图标管理"));
    m_tab->addItem(m_siteTree->getScroll(),
                   hover,
                   check,
                   tabDir + QStringLiteral("site.png"),
                   tabDir + QStringLiteral("site_gray.png"),
                   QStringLiteral("网址管理"));
    m_tab->addItem(m_recentTree->getScroll(),
                   hover,
                   check,
                   tabDir + QStringLiteral("rectent.png"),
                   tabDir + QStringLiteral("rectent_gray.png"),
                   QStringLiteral("最近打开"));
    m_tab->selectItem(1);

    auto* skinButton = new QSkinButton(this);
    m_skinButton = skinButton;
    skinButton->setImg(QStringLiteral("Skins\\btn\\skin.png"),
                       QStringLiteral("Skins\\btn\\skin2.png"),
                       QStringLiteral("Skins\\btn\\skin3.png"));
    skinButton->setGeometry(width() - 78, 8, 20, 14);
    skinButton->setToolTip(QStringLiteral("更换皮肤"));

    const QStringList bottom = { QStringLiteral("Skins\\icon\\SystemSet.png"),
                                 QStringLiteral("Skins\\icon\\cal.png"),
                                 QStringLiteral("Skins\\icon\\note.png") };
    int x = 5;
    for (const QString& image : bottom) {
        auto* button = new QSkinButton(this);
        button->setImg(image);
        button->setGeometry(x, H - 28, 24, 24);
        m_bottomRow.append(button);
        x += 24 + 10;
    }
}

void GalleryWindow::buildCard()
{
    m_card = new Card(this);
    m_card->setGeometry(kCardX, kCardY, width() - kCardX - 10, height() - kCardY - 10);
    QWidget* c = m_card;
    const int left = 16;

    // Image buttons: three-state, one-image, and the dialogs' push buttons styled by base.qss.
    heading(c, QStringLiteral("图片按钮 · 样式 1"), left, 12);
    auto* skin = new QSkinButton(c);
    skin->setImg(QStringLiteral("Skins\\btn\\skin.png"),
                 QStringLiteral("Skins\\btn\\skin2.png"),
                 QStringLiteral("Skins\\btn\\skin3.png"));
    skin->setGeometry(left, 43, 20, 14);
    int x = left + 34;
    for (const char* name : { "SystemSet", "cal", "note", "search", "del" }) {
        auto* button = new QSkinButton(c);
        button->setImg(QStringLiteral("Skins\\icon\\%1.png").arg(QLatin1String(name)));
        const int size
            = QLatin1String(name) == QLatin1String("search") || QLatin1String(name) == QLatin1String("del") ? 20 : 24;
        button->setGeometry(x, 38 + (24 - size) / 2, size, size);
        x += size + 12;
    }
    auto* ok = new QPushButton(QStringLiteral("确定"), c);
    ok->setObjectName(QStringLiteral("btnNormal"));
    ok->setGeometry(230, 37, 64, 25);
    auto* cancel = new QPushButton(QStringLiteral("取消"), c);
    cancel->setObjectName(QStringLiteral("btnNormal"));
    cancel->setGeometry(304, 37, 64, 25);
    auto* save = new QPushButton(QStringLiteral("保存"), c);
    save->setObjectName(QStringLiteral("btnNormal"));
    save->setGeometry(378, 37, 64, 25);

    // The search prompt.
    heading(c, QStringLiteral("搜索提示 · 样式 2"), left, 76);
    auto* prompt = new QSkinButton(c);
    prompt->setImg(QStringLiteral("Skins\\search_bg.png"));
    prompt->setBtnStyle(QSkinButton::StyleSearchPrompt);
    prompt->setText(QStringLiteral("输入图标关键字进行搜索"));
    prompt->setGeometry(left, 100, 270, 30);
    auto* magnifier = new QSkinLabel(c);
    magnifier->setImg(QStringLiteral("Skins\\icon\\search.png"));
    magnifier->setGeometry(left + 245, 105, 20, 20);
    // The same strip in search mode: a white strip, the keyword field and the clear button.
    // On the card it sits on a tinted bed, as it sits on the skin in the main window.
    auto* bed = new QSkinLabel(c);
    bed->setBgColor(0xe3, 0xea, 0xf2);
    bed->setGeometry(left + 278, 96, 168, 38);
    auto* back = new QSkinLabel(c);
    back->setBgColor(255, 255, 255);
    back->setGeometry(left + 282, 100, 160, 30);
    auto* edit = new QLineEdit(c);
    edit->setGeometry(left + 282, 100, 130, 30);
    edit->setText(QStringLiteral("记事"));
    edit->setStyleSheet(QStringLiteral("QLineEdit{border-width:0;border-style:outset}"));
    auto* clear = new QSkinButton(c);
    clear->setImg(QStringLiteral("Skins\\icon\\del.png"));
    clear->setGeometry(left + 282 + 135, 105, 20, 20);

    // Text buttons and the popup menu.
    heading(c, QStringLiteral("文字按钮 · 样式 3 · 弹出菜单"), left, 144);
    int tx = left;
    for (const QString& text : { QStringLiteral("添加分组"), QStringLiteral("修改分组"), QStringLiteral("删除分组") }) {
        auto* button = new QSkinButton(c);
        button->setBtnStyle(QSkinButton::StyleText);
        button->setText(text);
        button->setGeometry(tx, 166, 72, 26);
        tx += 78;
        if (!m_textButton) {
            m_textButton = button;
        }
    }
    m_menuButton = new QSkinButton(c);
    m_menuButton->setBtnStyle(QSkinButton::StyleText);
    m_menuButton->setText(QStringLiteral("主菜单 ▾"));
    m_menuButton->setGeometry(tx, 166, 80, 26);
    connect(m_menuButton, &QAbstractButton::clicked, this, [this] { popMenu(); });

    // Skin previews: a click applies the skin to this window.
    heading(c, QStringLiteral("皮肤预览 · 样式 4（点击换肤）"), left, 212);
    for (int k = 1; k <= 4; ++k) {
        auto* preview = new QSkinButton(c);
        preview->setGeometry(left + (k - 1) * 84, 236, 80, 80);
        preview->setBtnStyle(QSkinButton::StylePreview);
        preview->setImg(QStringLiteral("Skins\\main_bg\\%1\\view.png").arg(k));
        preview->setId(k);
        preview->setCheckable(true);
        preview->setAutoExclusive(true);
        connect(preview, &QSkinButton::clickedex, this, &GalleryWindow::applySkin);
        m_previews[k - 1] = preview;
    }
    m_previews[0]->setChecked(true);

    // Labels: an image, texts in colours, a background colour.
    heading(c, QStringLiteral("标签"), left, 332);
    auto* image = new QSkinLabel(c);
    image->setImg(QStringLiteral("Skins\\icon\\office.png"));
    image->setGeometry(left, 356, 50, 50);
    auto* date = new QSkinLabel(c);
    date->setText(QStringLiteral("2026-12-09"), QColor(0, 0, 0));
    date->setGeometry(left + 62, 356, 120, 22);
    auto* time = new QSkinLabel(c);
    time->setText(QStringLiteral("周三 21:45:09"), QColor(0x3c, 0x8c, 0xe7));
    time->setGeometry(left + 62, 380, 120, 22);
    auto* strip = new QSkinLabel(c);
    strip->setBgColor(255, 255, 255);
    strip->setText(QStringLiteral("  白色底条（搜索框背后）"), QColor(0x5a, 0x64, 0x72));
    strip->setGeometry(left + 190, 356, 252, 22);
    auto* warn = new QSkinLabel(c);
    warn->setBgColor(0xfd, 0xec, 0xec);
    warn->setText(QStringLiteral("  名称不能为空!"), QColor(0xc0, 0x39, 0x2b));
    warn->setGeometry(left + 190, 382, 252, 22);

    // Input fields under the shared style sheet.
    heading(c, QStringLiteral("输入控件 · base.qss"), left, 420);
    auto* name = new QLineEdit(c);
    name->setObjectName(QStringLiteral("editName"));
    name->setText(QStringLiteral("常用软件"));
    name->setGeometry(left, 444, 200, 24);
    auto* site = new QLineEdit(c);
    site->setObjectName(QStringLiteral("editSite"));
    site->setPlaceholderText(QStringLiteral("https://"));
    site->setGeometry(left, 476, 200, 24);
    auto* combo = new QComboBox(c);
    combo->addItems({ QStringLiteral("图标管理"), QStringLiteral("网址管理"), QStringLiteral("最近打开") });
    combo->setGeometry(left, 508, 200, 24);
    auto* tabs = new QTabWidget(c);
    auto* notes = new QTextEdit;
    notes->setPlainText(QStringLiteral("拖入文件即可添加到分组，双击打开。"));
    tabs->addTab(notes, QStringLiteral("说明"));
    tabs->addTab(new QWidget, QStringLiteral("网址"));
    tabs->setGeometry(left + 216, 444, 226, 88);
    name->setFocus();
}

void GalleryWindow::fillTrees()
{
    const QPixmap app = icon32(QStringLiteral("Skins\\icon\\default.png"));
    const QPixmap office = icon32(QStringLiteral("Skins\\icon\\office.png"));
    const QPixmap site = icon32(QStringLiteral("Skins\\icon\\site.png"));
    const QPixmap calc = icon32(QStringLiteral("Skins\\icon\\cal.png"));
    const QPixmap note = icon32(QStringLiteral("Skins\\icon\\note.png"));
    const QPixmap settings = icon32(QStringLiteral("Skins\\icon\\SystemSet.png"));

    m_iconTree->addTeam(1, QStringLiteral("常用软件"), 0, true);
    m_iconTree->addTeam(2, QStringLiteral("工作文档"), 0, true);
    m_iconTree->addTeam(3, QStringLiteral("游戏娱乐"), 0, false);
    m_iconTree->addTeam(4, QStringLiteral("一个名字很长很长很长很长的分组，显示时会被省略"), 0, false);
    m_iconTree->addItem(101, 1, QStringLiteral("Brisko桌面"), app);
    m_iconTree->addItem(102, 1, QStringLiteral("计算器"), calc);
    m_iconTree->addItem(103, 1, QStringLiteral("文本编辑器"), note);
    m_iconTree->addItem(104, 1, QStringLiteral("系统设置"), settings);
    m_iconTree->addItem(201, 2, QStringLiteral("季度报告"), office);
    m_iconTree->addItem(202, 2, QStringLiteral("一份名字特别长的项目计划书（第三版，修订稿）"), office);
    m_iconTree->addItem(203, 2, QStringLiteral("会议纪要"), note);
    m_iconTree->addItem(301, 3, QStringLiteral("扫雷"), app);
    m_iconTree->selectItem(1, 102);

    m_siteTree->addTeam(11, QStringLiteral("常用网址"), 0, true);
    m_siteTree->addTeam(12, QStringLiteral("开发资料"), 0, true);
    m_siteTree->addItem(1101, 11, QStringLiteral("新闻"), site);
    m_siteTree->addItem(1102, 11, QStringLiteral("地图"), site);
    m_siteTree->addItem(1201, 12, QStringLiteral("Qt 文档"), site);

    m_recentTree->addTeam(1, QStringLiteral("最近打开"), 0, true);
    m_recentTree->setTeamHeight(1, 0);
    m_recentTree->addItem(102, 1, QStringLiteral("计算器"), calc);
    m_recentTree->addItem(201, 1, QStringLiteral("季度报告"), office);
    m_recentTree->addItem(1101, 1, QStringLiteral("新闻"), site);
}

void GalleryWindow::followResizes()
{
    // The left column keeps the main window's width and grows downwards; the card takes the rest.
    m_resizeHelper.create(this);
    m_resizeHelper.addCtrl(m_iconTree, false, false, false, true);
    m_resizeHelper.addCtrl(m_siteTree, false, false, false, true);
    m_resizeHelper.addCtrl(m_recentTree, false, false, false, true);
    m_resizeHelper.addCtrl(m_card, false, false, true, true);
    for (QWidget* button : std::as_const(m_bottomRow)) {
        m_resizeHelper.addCtrl(button, false, true, false, false);
    }
    m_resizeHelper.addCtrl(m_skinButton, true, false, false, false);
}

void GalleryWindow::resizeEvent(QResizeEvent* event)
{
    BaseWindow::resizeEvent(event);
    m_resizeHelper.resing();
}

QPoint GalleryWindow::menuPoint() const
{
    return m_menuButton->mapToGlobal(QPoint(m_menuButton->width() + 6, 0));
}

int GalleryWindow::popMenu()
{
    QSkinMenu menu(this);
    menu.addItem(1, QStringLiteral("关于软件"));
    menu.addItem(2, QStringLiteral("使用帮助"));
    menu.addItem(3, QStringLiteral("检查更新"));
    menu.addItem(4, QStringLiteral("退出"));
    const QPoint at = menuPoint();
    return menu.pop(at.x(), at.y());
}

bool GalleryWindow::saveScreenshot(const QString& path)
{
    // Show a few live states: a hovered preview tile and the open menu.
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QCoreApplication::sendEvent(m_previews[2], &enter);
    QCoreApplication::sendEvent(m_textButton, &enter);

    struct State
    {
        bool done = false;
        bool saved = false;
        int attempts = 0;
    };
    auto state = std::make_shared<State>();
    auto capture = [this, path, state](QWidget* popup) {
        state->done = true;
        QImage shot = grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (popup) {
            QPainter p(&shot);
            const QPoint offset = popup->mapToGlobal(QPoint(0, 0)) - mapToGlobal(QPoint(0, 0));
            const QImage menu = popup->grab().toImage();
            // Only the rounded shape of the popup is part of it.
            p.setClipRegion(popup->mask().isEmpty() ? QRegion(menu.rect()).translated(offset)
                                                    : popup->mask().translated(offset));
            p.drawImage(offset, menu);
        }
        state->saved = shot.save(path);
    };
    // Waits for the menu to open, captures, then dismisses it.
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [this, state, capture, poll] {
        if (state->done) {
            return;
        }
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) {
            if (++state->attempts < 200) {
                QTimer::singleShot(20, this, *poll);
            }
            return;
        }
        // One row highlighted, as under the pointer.
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(popup, &down);
        QCoreApplication::sendEvent(popup, &down);
        capture(popup);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(popup, &escape);
    };
    QTimer::singleShot(50, this, *poll);
    popMenu();
    if (!state->done) {
        capture(nullptr);
    }
    *poll = nullptr;
    return state->saved;
}
