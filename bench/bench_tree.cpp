// brisko-bench tree: the grouped tree at 100,000 items: filling, opening, painting, deleting and memory.
#include "benchutil.h"
#include "qqtree.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <memory>

namespace
{
constexpr int kItems = 100000;
constexpr int kTeams = 1000;
constexpr int kDeleted = 10000;
const QRect kTreeArea(0, 160, 270, 388);

/// A handful of distinct icons, as a file icon provider hands out per file type.
QList<QPixmap> sampleIcons()
{
    QList<QPixmap> icons;
    const QColor colors[] = { QColor(0x3b, 0x82, 0xf6), QColor(0x10, 0xb9, 0x81), QColor(0xf5, 0x9e, 0x0b),
                              QColor(0xef, 0x44, 0x44), QColor(0x8b, 0x5c, 0xf6), QColor(0x64, 0x74, 0x8b) };
    for (const QColor& color : colors) {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(3, 3, 26, 26), 5, 5);
        icons.append(pixmap);
    }
    return icons;
}

struct Window
{
    std::unique_ptr<QWidget> host;
    QQTree* tree = nullptr;

    Window()
        : host(std::make_unique<QWidget>())
    {
        host->resize(270, 580);
        tree = new QQTree(host.get());
        tree->setGeometry(kTreeArea);
        host->show();
        QCoreApplication::processEvents();
    }

    void settle() const { QCoreApplication::sendPostedEvents(tree, QEvent::LayoutRequest); }
};

double paintOnce(QQTree* tree, QImage& image)
{
    image.fill(Qt::transparent);
    const double start = Bench::nowMs();
    tree->render(&image);
    return Bench::nowMs() - start;
}

int runTree(const QStringList& args)
{
    int runs = 5;
    const int runsAt = args.indexOf(QStringLiteral("--runs"));
    if (runsAt >= 0 && runsAt + 1 < args.size()) {
        runs = std::max(1, args.at(runsAt + 1).toInt());
    }
    const QList<QPixmap> icons = sampleIcons();
    const auto iconSource = [&icons](int id) { return icons.at(id % icons.size()); };

    // Memory first, while the allocator has nothing of earlier runs to hand back: names are made as the
    // items are added, as a caller reading them from the store would.
    double rssGrowth = 0;
    {
        Window w;
        for (int t = 1; t <= kTeams; ++t) {
            w.tree->addTeam(t, QStringLiteral("Group %1").arg(t), 0, false);
        }
        w.settle();
        const double before = Bench::residentMb();
        for (int i = 0; i < kItems; ++i) {
            w.tree->addItem(i + 1, 1 + i % kTeams, QStringLiteral("Document %1.pdf").arg(i + 1), QPixmap());
        }
        w.settle();
        rssGrowth = Bench::residentMb() - before;
    }

    QStringList names;
    names.reserve(kItems);
    for (int i = 0; i < kItems; ++i) {
        names.append(QStringLiteral("Document %1 with a longer name than the row can show.pdf").arg(i + 1));
    }

    std::vector<double> add, openAll, firstPaint, scrollPaint, del, clear;
    for (int run = 0; run < runs; ++run) {
        Window w;
        w.tree->setIconSource(iconSource);
        for (int t = 1; t <= kTeams; ++t) {
            w.tree->addTeam(t, QStringLiteral("Group %1").arg(t), 0, false);
        }
        w.settle();

        double start = Bench::nowMs();
        for (int i = 0; i < kItems; ++i) {
            w.tree->addItem(i + 1, 1 + i % kTeams, names.at(i), QPixmap());
        }
        w.settle();
        add.push_back(Bench::nowMs() - start);

        start = Bench::nowMs();
        for (int t = 1; t <= kTeams; ++t) {
            w.tree->setTeamOpen(t, true);
        }
        w.settle();
        openAll.push_back(Bench::nowMs() - start);

        QImage image(w.tree->size() * w.tree->devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(w.tree->devicePixelRatio());
        firstPaint.push_back(paintOnce(w.tree, image));

        QScrollBar* bar = w.tree->getScroll()->verticalScrollBar();
        bar->setValue(bar->maximum());
        scrollPaint.push_back(paintOnce(w.tree, image));

        start = Bench::nowMs();
        for (int k = 0; k < kDeleted; ++k) {
            w.tree->delItem(1 + k * (kItems / kDeleted));
        }
        w.settle();
        // Holes left by the deletions are closed when the rows are next needed: count that in.
        w.tree->itemRect(kItems);
        del.push_back(Bench::nowMs() - start);

        // One group holding every item.
        Window one;
        one.tree->addTeam(1, QStringLiteral("Everything"), 0, true);
        for (int i = 0; i < kItems; ++i) {
            one.tree->addItem(i + 1, 1, names.at(i), QPixmap());
        }
        one.settle();
        start = Bench::nowMs();
        one.tree->clearTeam(1);
        one.settle();
        clear.push_back(Bench::nowMs() - start);
    }

    Bench::report(QStringLiteral("tree_add_100k_ms"), Bench::median(add), QStringLiteral("ms"));
    Bench::report(QStringLiteral("tree_open_all_ms"), Bench::median(openAll), QStringLiteral("ms"));
    Bench::report(QStringLiteral("tree_first_paint_ms"), Bench::median(firstPaint), QStringLiteral("ms"));
    Bench::report(QStringLiteral("tree_scroll_paint_ms"), Bench::median(scrollPaint), QStringLiteral("ms"));
    Bench::report(QStringLiteral("tree_del_10k_ms"), Bench::median(del), QStringLiteral("ms"));
    Bench::report(QStringLiteral("tree_clear_100k_ms"), Bench::median(clear), QStringLiteral("ms"));
    Bench::report(QStringLiteral("tree_rss_100k_mb"), rssGrowth, QStringLiteral("MB"));
    return 0;
}

const Bench::Registrar registrar("tree", "grouped tree at 100,000 items (--runs N, default 5)", runTree);
} // namespace
