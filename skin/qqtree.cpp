#include "qqtree.h"

#include "qskinmenu.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDropEvent>
#include <QFontMetrics>
#include <QHash>
#include <QHelpEvent>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

namespace
{
constexpr int kItemHeight = 40;
constexpr int kHeaderHeight = 28;
constexpr int kMaxHeaderHeight = 256;
constexpr int kPad = 8;
constexpr int kIconSize = 32;
// Item rows under a header are indented a little so the groups read as groups.
constexpr int kIndent = 12;
// Explicit icons larger than 32 x 32 are scaled once per distinct pixmap; the cache is dropped when it grows
// past this many entries.
constexpr int kScaledCacheLimit = 2048;
// Icons of listed rows (QQTree::RowSource) are kept per id; the cache is dropped when it grows past this.
constexpr int kListedIconLimit = 4096;

const QColor kTextColor(0x22, 0x22, 0x22);
const QColor kCountColor(0x80, 0x80, 0x80);
const QColor kChevronColor(0x55, 0x55, 0x55);
const QColor kHoverColor(0, 120, 215, 26);
const QColor kSelectColor(0, 120, 215, 56);
const QColor kSeparatorColor(0, 0, 0, 20);
const QColor kDropOutlineColor(0, 120, 215, 150);

bool hasLocalFiles(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls()) {
        return false;
    }
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

QSizeF logicalSize(const QPixmap& pixmap)
{
    const qreal dpr = pixmap.devicePixelRatio() > 0 ? pixmap.devicePixelRatio() : 1.0;
    return QSizeF(pixmap.width() / dpr, pixmap.height() / dpr);
}

QPixmap scaledToIcon(const QPixmap& pixmap, qreal dpr)
{
    QPixmap scaled = pixmap.scaled(QSize(kIconSize, kIconSize) * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(dpr);
    return scaled;
}

/// A plain sheet of paper with a folded corner: the icon of items whose own icon is not known (yet).
QPixmap drawNeutralIcon(qreal dpr)
{
    QPixmap pixmap(QSize(kIconSize, kIconSize) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal left = 7.5, top = 3.5, right = 24.5, bottom = 28.5, fold = 7;
    QPainterPath sheet;
    sheet.moveTo(left, top);
    sheet.lineTo(right - fold, top);
    sheet.lineTo(right, top + fold);
    sheet.lineTo(right, bottom);
    sheet.lineTo(left, bottom);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(0x8a, 0x94, 0xa0), 1.2));
    p.setBrush(QColor(0xfb, 0xfc, 0xfd));
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    p.setBrush(QColor(0xdd, 0xe3, 0xea));
    p.drawPath(corner);
    p.setPen(QPen(QColor(0xb4, 0xbd, 0xc8), 1.4, Qt::SolidLine, Qt::RoundCap));
    for (int line = 0; line < 4; ++line) {
        const qreal y = 14.5 + line * 3.5;
        p.drawLine(QPointF(left + 3.5, y), QPointF(right - (line == 3 ? 7.5 : 3.5), y));
    }
    return pixmap;
}

struct Team;

/// One item. Kept small: a group read from its source makes thousands at once, most never painted; their icons
/// live apart (Private::icons).
struct Item
{
    QString name;
    Team* team = nullptr;
    int id = 0;
    /// Position in the group's row vector (see Team::rows).
    int slot = -1;
    /// The icon source has been asked for this item.
    bool iconAsked = false;
    /// Read from the team source without its name: the name is read when first needed.
    bool nameUnread = false;
};

struct Team
{
    QString name;
    /// Indices into the item pool in display order. Entries before `head` are unused room for items put at
    /// the top; removed items leave -1 behind (`holes`) until the vector is compacted, so that removing many
    /// items is not quadratic.
    std::vector<int> rows;
    qint64 top = 0;
    int head = 0;
    int holes = 0;
    int live = 0;
    int id = 0;
    int headerHeight = kHeaderHeight;
    bool open = false;
    /// Added with addTeam. Items may name a group that has not been added (yet): they are kept, unseen, and
    /// show once the group is added.
    bool declared = false;
    /// Rows listed by the caller in place of items (then `rows` is empty and `live` is the source's count).
    std::shared_ptr<const QQTree::RowSource> source;
    /// The items are still in the team source (then `rows` is empty and `live` is the count given).
    bool unread = false;

    bool showsItems() const { return headerHeight == 0 || open; }
    qint64 height() const { return headerHeight + (showsItems() ? qint64(live) * kItemHeight : 0); }
};

/// Items in fixed-size chunks: growing never moves the items already stored (a plain vector would copy
/// every item, name and pixmap each time it grows).
class ItemPool
{
public:
    Item& operator[](int index) { return m_chunks[index >> kShift][index & kMask]; }
    const Item& operator[](int index) const { return m_chunks[index >> kShift][index & kMask]; }
    int size() const { return m_size; }
    int grow()
    {
        if ((m_size >> kShift) >= int(m_chunks.size())) {
            m_chunks.push_back(std::make_unique<Item[]>(kChunk));
        }
        return m_size++;
    }

private:
    static constexpr int kShift = 10;
    static constexpr int kChunk = 1 << kShift;
    static constexpr int kMask = kChunk - 1;
    std::vector<std::unique_ptr<Item[]>> m_chunks;
    int m_size = 0;
};

/// Item id -> pool index, by open addressing with linear probing. Its cost stays flat however ids are added
/// and removed, so deleting or clearing 100,000 rows takes a few milliseconds.
class IdMap
{
public:
    /// The pool index of an id, -1 when the id is not present.
    int find(int key) const
    {
        if (m_used == 0) {
            return -1;
        }
        for (size_t i = mix(key) & m_mask;; i = (i + 1) & m_mask) {
            const Slot& slot = m_slots[i];
            if (slot.value == kEmpty) {
                return -1;
            }
            if (slot.value >= 0 && slot.key == key) {
                return slot.value;
            }
        }
    }

    bool contains(int key) const { return find(key) >= 0; }

    /// Makes room for `count` more ids at once, so that adding them rebuilds the table at most once.
    void reserve(int count)
    {
        if ((m_used + m_removed + count) * 10 > int(m_slots.size()) * 7) {
            // Just big enough to take them all below the load that makes insert() grow it: a table read whole
            // from a group of 20,000 is then 256 KB rather than 512 KB of fresh memory.
            rehash((m_used + count) * 10 / 14 + 1);
        }
    }

    /// Adds an id that is not present.
    void insert(int key, int value)
    {
        if (m_slots.empty() || (m_used + m_removed + 1) * 10 > int(m_slots.size()) * 7) {
            rehash(m_used + 1);
        }
        size_t i = mix(key) & m_mask;
        while (m_slots[i].value >= 0) {
            i = (i + 1) & m_mask;
        }
        if (m_slots[i].value == kRemoved) {
            --m_removed;
        }
        m_slots[i] = { key, value };
        ++m_used;
    }

    void remove(int key)
    {
        if (m_used == 0) {
            return;
        }
        for (size_t i = mix(key) & m_mask;; i = (i + 1) & m_mask) {
            Slot& slot = m_slots[i];
            if (slot.value == kEmpty) {
                return;
            }
            if (slot.value >= 0 && slot.key == key) {
                slot.value = kRemoved;
                --m_used;
                ++m_removed;
                return;
            }
        }
    }

private:
    struct Slot
    {
        int key;
        int value;
    };
    static constexpr int kEmpty = -1;
    static constexpr int kRemoved = -2;

    static size_t mix(int key)
    {
        quint64 x = quint32(key);
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdULL;
        x ^= x >> 33;
        x *= 0xc4ceb9fe1a85ec53ULL;
        x ^= x >> 33;
        return size_t(x);
    }

    /// Rebuilds the table for `count` entries (at most half full), dropping removed slots.
    void rehash(int count)
    {
        size_t capacity = 16;
        while (capacity < size_t(count) * 2) {
            capacity *= 2;
        }
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.assign(capacity, Slot { 0, kEmpty });
        m_mask = capacity - 1;
        m_used = 0;
        m_removed = 0;
        for (const Slot& slot : old) {
            if (slot.value >= 0) {
                insert(slot.key, slot.value);
            }
        }
    }

    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    int m_used = 0;
    int m_removed = 0;
};

/// What lies under a point: an item (both ids), a header (item 0) or nothing (both 0).
struct Hit
{
    int team = 0;
    int item = 0;
    bool operator==(const Hit& other) const { return team == other.team && item == other.item; }
    bool operator!=(const Hit& other) const { return !(*this == other); }
};
} // namespace

struct QQTree::Private
{
    explicit Private(QQTree* tree)
        : q(tree)
    {
    }

    QQTree* q;
    std::unordered_map<int, std::unique_ptr<Team>> teams;
    std::vector<Team*> order;
    ItemPool items;
    std::vector<int> freeItems;
    IdMap itemIndex;
    IconSource iconSource;
    /// Groups showing listed rows.
    std::vector<Team*> listed;
    /// Icons of items by id: given when added, or got from the icon source when first painted.
    QHash<int, QPixmap> icons;
    std::shared_ptr<QQTree::TeamSource> teamSource;
    /// Groups whose items are still in the team source.
    int unreadTeams = 0;
    /// Icons of listed rows by id (a null pixmap: the icon source had none).
    QHash<int, QPixmap> listedIcons;
    QString emptyText;
    QHash<qint64, QPixmap> scaledIcons;
    qreal scaledDpr = 0;
    QPixmap neutralIcon;
    qint64 total = 0;
    int selected = 0;
    /// The group header the keyboard's cursor is on while no item is selected (0: none).
    int cursorTeam = 0;
    /// A row to scroll into view once the tree has its real size (it was selected before being shown).
    int pendingReveal = 0;
    Hit hover;
    Hit pressed;
    /// The group that files dragged over the tree would be dropped into.
    int dropTeam = 0;
    bool layoutDirty = true;
    bool layoutPosted = false;

    Team* team(int id) const
    {
        auto it = teams.find(id);
        return it == teams.end() ? nullptr : it->second.get();
    }

    /// The group of an id, made (not yet added, so unseen) when there is none.
    Team* teamSlot(int id)
    {
        std::unique_ptr<Team>& slot = teams[id];
        if (!slot) {
            slot = std::make_unique<Team>();
            slot->id = id;
        }
        return slot.get();
    }

    Team* shownTeam(int id) const
    {
        Team* t = team(id);
        return t && t->declared ? t : nullptr;
    }

    Item* item(int id)
    {
        const int index = itemIndex.find(id);
        return index < 0 ? nullptr : &items[index];
    }

    const Item* item(int id) const
    {
        const int index = itemIndex.find(id);
        return index < 0 ? nullptr : &items[index];
    }

    int orderOf(const Team* t) const
    {
        auto it = std::find(order.begin(), order.end(), t);
        return it == order.end() ? -1 : int(it - order.begin());
    }

    /// Swaps a shown group with its neighbour `step` (-1 above, 1 below); the neighbour's id, or 0 when there is
    /// no such group or neighbour.
    int moveTeam(int id, int step)
    {
        const int pos = orderOf(shownTeam(id));
        if (pos < 0 || pos + step < 0 || pos + step >= int(order.size())) {
            return 0;
        }
        std::swap(order[pos], order[pos + step]);
        invalidate();
        return order[pos]->id;
    }

    /// Swaps an item with its neighbour `step` (-1 above, 1 below) in its group; the neighbour's id, or 0 when the
    /// item is not in that group or has no such neighbour.
    int moveItem(int teamId, int itemId, int step)
    {
        readTeam(team(teamId));
        unlistOwner(itemId);
        Item* it = item(itemId);
        if (!it || it->team->id != teamId) {
            return 0;
        }
        Team* t = it->team;
        compact(t);
        const int to = it->slot + step;
        if (to < t->head || to >= int(t->rows.size())) {
            return 0;
        }
        const int index = t->rows[it->slot];
        const int partner = t->rows[to];
        std::swap(t->rows[it->slot], t->rows[to]);
        items[partner].slot = it->slot;
        items[index].slot = to;
        q->update();
        return items[partner].id;
    }

    /// Removes the holes of a group so that row positions follow from slots again.
    void compact(Team* t)
    {
        if (t->holes == 0) {
            return;
        }
        int write = t->head;
        for (int read = t->head; read < int(t->rows.size()); ++read) {
            const int index = t->rows[read];
            if (index >= 0) {
                t->rows[write] = index;
                items[index].slot = write;
                ++write;
            }
        }
        t->rows.resize(write);
        t->holes = 0;
    }

    void appendRow(Team* t, int index)
    {
        t->rows.push_back(index);
        items[index].slot = int(t->rows.size()) - 1;
        ++t->live;
    }

    void prependRow(Team* t, int index)
    {
        if (t->head == 0) {
            // Make room at the front in proportion to the size, so repeated top insertions stay cheap.
            const int room = std::max(8, int(t->rows.size()) / 2);
            std::vector<int> grown(room + t->rows.size(), -1);
            std::copy(t->rows.begin(), t->rows.end(), grown.begin() + room);
            t->rows.swap(grown);
            for (int s = room; s < int(t->rows.size()); ++s) {
                if (t->rows[s] >= 0) {
                    items[t->rows[s]].slot = s;
                }
            }
            t->head = room;
        }
        --t->head;
        t->rows[t->head] = index;
        items[index].slot = t->head;
        ++t->live;
    }

    void removeRow(Item& it)
    {
        Team* t = it.team;
        const int slot = it.slot;
        t->rows[slot] = -1;
        --t->live;
        if (t->live == 0) {
            t->rows.clear();
            t->head = 0;
            t->holes = 0;
        } else if (slot == t->head) {
            while (t->rows[t->head] < 0) {
                if (t->head != slot) {
                    --t->holes;
                }
                ++t->head;
            }
            // Rows taken from the top leave room behind; give it back once it outweighs the rows left.
            if (t->head > 64 && t->head > 2 * (int(t->rows.size()) - t->head)) {
                t->rows.erase(t->rows.begin(), t->rows.begin() + t->head);
                t->head = 0;
                for (int s = 0; s < int(t->rows.size()); ++s) {
                    if (t->rows[s] >= 0) {
                        items[t->rows[s]].slot = s;
                    }
                }
            }
        } else if (slot == int(t->rows.size()) - 1) {
            t->rows.pop_back();
            while (t->rows.back() < 0) {
                t->rows.pop_back();
                --t->holes;
            }
        } else {
            ++t->holes;
        }
        it.slot = -1;
    }

    void freeItem(int index)
    {
        Item& it = items[index];
        itemIndex.remove(it.id);
        icons.remove(it.id);
        it = Item();
        freeItems.push_back(index);
    }

    int allocItem()
    {
        if (!freeItems.empty()) {
            const int index = freeItems.back();
            freeItems.pop_back();
            return index;
        }
        return items.grow();
    }

    void removeAllItems(Team* t)
    {
        if (selected && teamOf(selected) == t) {
            selected = 0;
        }
        setUnread(t, false);
        if (t->source) {
            t->source.reset();
            listed.erase(std::find(listed.begin(), listed.end(), t));
        }
        for (int s = t->head; s < int(t->rows.size()); ++s) {
            if (t->rows[s] >= 0) {
                freeItem(t->rows[s]);
            }
        }
        std::vector<int>().swap(t->rows);
        t->head = 0;
        t->holes = 0;
        t->live = 0;
    }

    /// Row positions changed: recompute them once, when the event loop gets to it or when asked first.
    void invalidate()
    {
        layoutDirty = true;
        if (!layoutPosted) {
            layoutPosted = true;
            QCoreApplication::postEvent(q, new QEvent(QEvent::LayoutRequest));
        }
    }

    void ensureLayout()
    {
        if (!layoutDirty) {
            return;
        }
        qint64 y = 0;
        for (Team* t : order) {
            t->top = y;
            y += t->height();
        }
        total = y;
        layoutDirty = false;
        q->setContentHeight(total);
    }

    /// Content y of the row of an item or listed row, -1 when the row is not shown.
    qint64 rowTop(int id)
    {
        Team* t = teamOf(id);
        if (!t || !t->declared || !t->showsItems()) {
            return -1;
        }
        ensureLayout();
        const int row = rowOf(t, id);
        return row < 0 ? -1 : t->top + t->headerHeight + qint64(row) * kItemHeight;
    }

    /// The group whose rows cover content y (the last one starting at or above it).
    std::vector<Team*>::const_iterator teamAt(qint64 y) const
    {
        auto it = std::upper_bound(order.begin(), order.end(), y, [](qint64 v, const Team* t) { return v < t->top; });
        return it == order.begin() ? order.begin() : it - 1;
    }

    Hit hitTest(const QPoint& pos)
    {
        ensureLayout();
        if (!q->rect().contains(pos)) {
            return {};
        }
        const qint64 y = qint64(pos.y()) + q->scrollOffset();
        if (y < 0 || y >= total || order.empty()) {
            return {};
        }
        Team* t = *teamAt(y);
        const qint64 within = y - t->top;
        if (within < t->headerHeight) {
            return { t->id, 0 };
        }
        if (!t->showsItems()) {
            return {};
        }
        const qint64 row = (within - t->headerHeight) / kItemHeight;
        if (row >= t->live) {
            return {};
        }
        return { t->id, idAtRow(t, int(row)) };
    }

    int itemX(const Team* t) const { return kPad + (t->headerHeight > 0 ? kIndent : 0); }

    const QPixmap& neutral()
    {
        const qreal dpr = q->devicePixelRatioF();
        if (neutralIcon.isNull() || neutralIcon.devicePixelRatio() != dpr) {
            neutralIcon = drawNeutralIcon(dpr);
        }
        return neutralIcon;
    }

    /// The icon of an item; asks the icon source the first time.
    QPixmap iconFor(int index)
    {
        const int id = items[index].id;
        const auto known = icons.constFind(id);
        if (known != icons.constEnd()) {
            return *known;
        }
        if (items[index].iconAsked || !iconSource) {
            return neutral();
        }
        items[index].iconAsked = true;
        QPixmap pixmap = iconSource(id);
        if (pixmap.isNull()) {
            return neutral();
        }
        const QSizeF size = logicalSize(pixmap);
        if (size.width() > kIconSize || size.height() > kIconSize) {
            pixmap = scaledToIcon(pixmap, q->devicePixelRatioF());
        }
        // The source may have changed the tree: keep the icon only while the item is there.
        if (item(id)) {
            icons.insert(id, pixmap);
        }
        return pixmap;
    }

    QPixmap fitted(const QPixmap& pixmap)
    {
        const QSizeF size = logicalSize(pixmap);
        if (size.width() <= kIconSize && size.height() <= kIconSize) {
            return pixmap;
        }
        const qreal dpr = q->devicePixelRatioF();
        if (dpr != scaledDpr || scaledIcons.size() > kScaledCacheLimit) {
            scaledIcons.clear();
            scaledDpr = dpr;
        }
        auto it = scaledIcons.constFind(pixmap.cacheKey());
        if (it != scaledIcons.constEnd()) {
            return *it;
        }
        const QPixmap scaled = scaledToIcon(pixmap, dpr);
        scaledIcons.insert(pixmap.cacheKey(), scaled);
        return scaled;
    }

    /// The frame of the group files would be dropped into, and of the keyboard's current row.
    void paintOutline(QPainter& p, const QRect& row)
    {
        p.setPen(QPen(kDropOutlineColor, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(row).adjusted(4.5, 2, -4.5, -2), 5, 5);
    }

    void paintHighlight(QPainter& p, const QRect& row, const QColor& color)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(row).adjusted(4, 1.5, -4, -1.5), 5, 5);
    }

    void paintHeader(QPainter& p, const Team* t, const QRect& row, const QFont& headerFont)
    {
        if (t->id == dropTeam) {
            paintHighlight(p, row, kSelectColor);
            paintOutline(p, row);
        } else if (!selected && cursorTeam == t->id) {
            paintHighlight(p, row, kSelectColor);
            paintFocusFrame(p, row);
        } else if (hover == Hit { t->id, 0 }) {
            paintHighlight(p, row, kHoverColor);
        }
        const qreal cx = kPad + 5, cy = row.center().y() + 0.5;
        QPainterPath chevron;
        if (t->open) {
            chevron.moveTo(cx - 4, cy - 2);
            chevron.lineTo(cx, cy + 2);
            chevron.lineTo(cx + 4, cy - 2);
        } else {
            chevron.moveTo(cx - 2, cy - 4);
            chevron.lineTo(cx + 2, cy);
            chevron.lineTo(cx - 2, cy + 4);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kChevronColor, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(chevron);

        const int textLeft = kPad + 16;
        const QString count = QString::number(t->live);
        const QFontMetrics countMetrics(q->font());
        const int countWidth = countMetrics.horizontalAdvance(count);
        const int countLeft = row.right() - kPad - countWidth;
        p.setPen(kCountColor);
        p.setFont(q->font());
        p.drawText(QRect(countLeft, row.top(), countWidth + 1, row.height()), Qt::AlignVCenter | Qt::AlignRight, count);

        p.setFont(headerFont);
        p.setPen(kTextColor);
        const QFontMetrics metrics(headerFont);
        const int width = std::max(0, countLeft - kPad - textLeft);
        p.drawText(QRect(textLeft, row.top(), width, row.height()),
                   Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   metrics.elidedText(t->name, Qt::ElideRight, width, Qt::TextSingleLine));

        p.setPen(QPen(kSeparatorColor, 1));
        p.drawLine(QPointF(kPad, row.bottom() + 0.5), QPointF(row.right() - kPad, row.bottom() + 0.5));
    }

    void paintItem(QPainter& p, int index, const QRect& row, const QFontMetrics& metrics)
    {
        const QString name = nameAt(index);
        const QPixmap icon = iconFor(index);
        paintRow(p, items[index].team, items[index].id, name, icon, row, metrics);
    }

    void paintRow(QPainter& p,
                  const Team* t,
                  int id,
                  const QString& name,
                  const QPixmap& rowIcon,
                  const QRect& row,
                  const QFontMetrics& metrics)
    {
        if (selected == id) {
            paintHighlight(p, row, kSelectColor);
            paintFocusFrame(p, row);
        } else if (hover.item == id || (t->headerHeight == 0 && t->id == dropTeam)) {
            paintHighlight(p, row, kHoverColor);
        }
        const int x = itemX(t);
        const QPixmap icon = fitted(rowIcon);
        const QSizeF size = logicalSize(icon);
        const QRectF box(x, row.top() + (kItemHeight - kIconSize) / 2, kIconSize, kIconSize);
        const QRectF target(box.left() + (kIconSize - size.width()) / 2,
                            box.top() + (kIconSize - size.height()) / 2,
                            size.width(),
                            size.height());
        p.drawPixmap(target, icon, QRectF(icon.rect()));

        const int textLeft = x + kIconSize + kPad;
        const int width = std::max(0, row.right() - kPad - textLeft);
        p.setPen(kTextColor);
        p.drawText(QRect(textLeft, row.top(), width, row.height()),
                   Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   metrics.elidedText(name, Qt::ElideRight, width, Qt::TextSingleLine));
    }

    /// Files dragged over `pos` go to the group there, or to the last group when over empty space.
    void setDropTarget(const QPoint& pos)
    {
        const Hit hit = hitTest(pos);
        const int target = hit.team ? hit.team : (order.empty() ? 0 : order.back()->id);
        setHover(Hit());
        if (target != dropTeam) {
            dropTeam = target;
            q->update();
        }
    }

    void setHover(const Hit& hit)
    {
        if (hit != hover) {
            hover = hit;
            q->update();
        }
    }

    void refreshHover() { setHover(q->underMouse() ? hitTest(q->mapFromGlobal(QCursor::pos())) : Hit()); }

    void select(int itemId)
    {
        // A selected item takes the keyboard's cursor off any header: were the item to go later, the header the
        // keyboard left long ago must not become the current row again.
        cursorTeam = 0;
        selected = itemId;
        reveal(itemId);
        q->update();
    }

    void reveal(int itemId)
    {
        pendingReveal = 0;
        if (!teamOf(itemId)) {
            return;
        }
        if (!q->isVisible()) {
            pendingReveal = itemId;
            return;
        }
        const qint64 top = rowTop(itemId);
        if (top >= 0) {
            q->ensureContentVisible(top, kItemHeight);
        }
    }

    /// First or last item of the shown groups from position `from` of the group order, walking by `step`.
    int edgeItem(int from, int step)
    {
        for (int pos = from; pos >= 0 && pos < int(order.size()); pos += step) {
            Team* t = order[pos];
            if (t->showsItems() && t->live > 0) {
                return idAtRow(t, step > 0 ? 0 : t->live - 1);
            }
        }
        return 0;
    }

    void walk(int step)
    {
        Team* t = selected ? teamOf(selected) : nullptr;
        int next = 0;
        if (!t || !t->declared) {
            next = step > 0 ? edgeItem(0, 1) : edgeItem(int(order.size()) - 1, -1);
        } else {
            if (t->showsItems()) {
                const int row = rowOf(t, selected) + step;
                if (row >= 0 && row < t->live) {
                    next = idAtRow(t, row);
                }
            }
            if (!next) {
                next = edgeItem(orderOf(t) + step, step);
            }
        }
        if (next) {
            select(next);
        }
    }

    // ---- The keyboard's current row: the selected item, or the header the cursor is on

    Hit currentRow()
    {
        if (selected) {
            Team* t = teamOf(selected);
            if (t && t->declared) {
                if (t->showsItems()) {
                    return { t->id, selected };
                }
                return t->headerHeight > 0 ? Hit { t->id, 0 } : Hit();
            }
        }
        const Team* t = shownTeam(cursorTeam);
        return t && t->headerHeight > 0 ? Hit { t->id, 0 } : Hit();
    }

    /// The first (step 1) or last (step -1) row a group shows, nothing when it shows none.
    Hit edgeRowOf(Team* t, int step)
    {
        const bool items = t->showsItems() && t->live > 0;
        const bool header = t->headerHeight > 0;
        if (step > 0 && (header || items)) {
            return header ? Hit { t->id, 0 } : Hit { t->id, idAtRow(t, 0) };
        }
        if (step < 0 && (header || items)) {
            return items ? Hit { t->id, idAtRow(t, t->live - 1) } : Hit { t->id, 0 };
        }
        return {};
    }

    /// The first row shown in the groups from position `from` of the group order on, walking by `step`.
    Hit rowFromTeam(int from, int step)
    {
        for (int pos = from; pos >= 0 && pos < int(order.size()); pos += step) {
            const Hit row = edgeRowOf(order[pos], step);
            if (row.team) {
                return row;
            }
        }
        return {};
    }

    /// The row shown after (step 1) or before (step -1) the current one, headers included; with no current
    /// row the first or last row. Nothing at either end.
    Hit neighbourRow(int step)
    {
        const Hit current = currentRow();
        if (!current.team) {
            return rowFromTeam(step > 0 ? 0 : int(order.size()) - 1, step);
        }
        Team* t = team(current.team);
        if (current.item) {
            const int row = rowOf(t, current.item) + step;
            if (row >= 0 && row < t->live) {
                return { t->id, idAtRow(t, row) };
            }
            if (row < 0 && t->headerHeight > 0) {
                return { t->id, 0 };
            }
        } else if (step > 0 && t->showsItems() && t->live > 0) {
            return { t->id, idAtRow(t, 0) };
        }
        return rowFromTeam(orderOf(t) + step, step);
    }

    /// Makes a row current: an item is selected, a header takes the cursor; either is scrolled into view.
    void setCurrentRow(const Hit& row)
    {
        if (row.item) {
            cursorTeam = 0;
            select(row.item);
        } else if (Team* t = shownTeam(row.team)) {
            selected = 0;
            cursorTeam = t->id;
            ensureLayout();
            q->ensureContentVisible(t->top, t->headerHeight);
            q->update();
        }
    }

    /// A frame around the current row while the tree has the keyboard.
    void paintFocusFrame(QPainter& p, const QRect& row)
    {
        if (q->hasFocus()) {
            paintOutline(p, row);
        }
    }

    // ---- Groups whose items are read from the team source when first needed

    void setUnread(Team* t, bool unread)
    {
        if (t->unread != unread) {
            t->unread = unread;
            unreadTeams += unread ? 1 : -1;
        }
    }

    /// Reads the item ids of a group still in the team source and makes them items (their names come later).
    void readTeam(Team* t)
    {
        if (!t || !t->unread) {
            return;
        }
        setUnread(t, false);
        std::vector<int> ids;
        ids.reserve(size_t(t->live));
        t->live = 0;
        if (teamSource && !teamSource->readItemIds(t->id, ids)) {
            QMetaObject::invokeMethod(
                q, [tree = q, id = t->id] { emit tree->teamReadFailed(id); }, Qt::QueuedConnection);
        }
        t->rows.reserve(ids.size());
        itemIndex.reserve(int(ids.size()));
        for (const int id : ids) {
            if (id == 0 || itemIndex.contains(id) || listingTeam(id)) {
                continue; // an id is shown once
            }
            const int index = allocItem();
            Item& it = items[index];
            it.id = id;
            it.team = t;
            it.nameUnread = true;
            itemIndex.insert(id, index);
            appendRow(t, index);
        }
        invalidate();
    }

    /// Reads the group holding `id` when the tree does not show the id yet and the team source holds it in a
    /// group still unread; true when the id is an item now.
    bool readOwner(int id)
    {
        if (unreadTeams == 0 || !teamSource || id == 0 || itemIndex.contains(id)) {
            return false;
        }
        Team* t = team(teamSource->readItemTeam(id));
        if (!t || !t->unread) {
            return false;
        }
        readTeam(t);
        return itemIndex.contains(id);
    }

    /// Takes the counts of the groups not read yet from the team source again.
    void recountUnread()
    {
        if (unreadTeams == 0 || !teamSource) {
            return;
        }
        for (Team* t : order) {
            if (t->unread) {
                const int count = std::max(0, teamSource->readItemCount(t->id));
                if (count != t->live) {
                    t->live = count;
                    invalidate();
                }
            }
        }
    }

    /// The name of the item at a pool index, read from the team source the first time when it came from there.
    QString nameAt(int index)
    {
        Item& it = items[index];
        if (it.nameUnread) {
            it.nameUnread = false;
            if (teamSource) {
                const int id = it.id;
                const QString name = teamSource->readItemName(id);
                // Reading does not change the tree, but the item is found again rather than trusted.
                if (Item* again = item(id)) {
                    again->name = name;
                }
                return name;
            }
        }
        return it.name;
    }

    // ---- Rows listed by a RowSource, and what items and listed rows share

    /// The group listing an id as a row, nullptr when none does.
    Team* listingTeam(int id) const
    {
        for (Team* t : listed) {
            if (t->source->rowOf(id) >= 0) {
                return t;
            }
        }
        return nullptr;
    }

    /// The group of an item or listed row, nullptr for an unknown id.
    Team* teamOf(int id) const
    {
        if (const Item* it = item(id)) {
            return it->team;
        }
        return listingTeam(id);
    }

    /// Place of an item or listed row among its group's rows, -1 when the group does not show it.
    int rowOf(Team* t, int id)
    {
        if (t->source) {
            return t->source->rowOf(id);
        }
        const Item* it = item(id);
        if (!it || it->team != t) {
            return -1;
        }
        compact(t);
        return it->slot - t->head;
    }

    /// Id of row `row` (from 0 to live - 1) of a group.
    int idAtRow(Team* t, int row)
    {
        if (t->source) {
            return t->source->rowId(row);
        }
        compact(t);
        return items[t->rows[t->head + row]].id;
    }

    QString nameOf(int id)
    {
        int index = itemIndex.find(id);
        if (index < 0 && readOwner(id)) {
            index = itemIndex.find(id);
        }
        if (index >= 0) {
            return nameAt(index);
        }
        const Team* t = listingTeam(id);
        return t ? t->source->rowName(t->source->rowOf(id)) : QString();
    }

    /// The icon of a listed row; asks the icon source the first time for each id.
    QPixmap listedIcon(int id)
    {
        auto known = listedIcons.constFind(id);
        if (known != listedIcons.constEnd()) {
            return known->isNull() ? neutral() : *known;
        }
        if (!iconSource) {
            return neutral();
        }
        if (listedIcons.size() >= kListedIconLimit) {
            listedIcons.clear();
        }
        QPixmap pixmap = iconSource(id);
        const QSizeF size = logicalSize(pixmap);
        if (size.width() > kIconSize || size.height() > kIconSize) {
            pixmap = scaledToIcon(pixmap, q->devicePixelRatioF());
        }
        listedIcons.insert(id, pixmap);
        return pixmap.isNull() ? neutral() : pixmap;
    }

    void paintListedRow(QPainter& p, Team* t, int row, const QRect& rect, const QFontMetrics& metrics)
    {
        // The source stays alive while painting, whatever the icon source does to the tree.
        const std::shared_ptr<const QQTree::RowSource> source = t->source;
        const int id = source->rowId(row);
        const QPixmap icon = listedIcon(id);
        paintRow(p, t, id, source->rowName(row), icon, rect, metrics);
    }

    /// Turns the listed rows of a group into added items, so that they can be changed one by one.
    void unlist(Team* t)
    {
        const std::shared_ptr<const QQTree::RowSource> source = t->source;
        const int keepSelected = selected;
        removeAllItems(t);
        selected = keepSelected;
        const int count = source->rowCount();
        t->rows.reserve(size_t(count));
        for (int row = 0; row < count; ++row) {
            const int id = source->rowId(row);
            if (id == 0 || itemIndex.contains(id)) {
                continue;
            }
            const int index = allocItem();
            Item& it = items[index];
            it.id = id;
            it.team = t;
            it.name = source->rowName(row);
            const auto icon = listedIcons.constFind(id);
            if (icon != listedIcons.constEnd()) {
                if (!icon->isNull()) {
                    icons.insert(id, *icon);
                }
                it.iconAsked = true;
            }
            itemIndex.insert(id, index);
            appendRow(t, index);
        }
        invalidate();
    }

    void paintEmptyText()
    {
        QPainter p(q);
        p.setPen(kCountColor);
        const QRect area(kPad, 0, q->width() - 2 * kPad, kItemHeight * 2);
        const QFontMetrics metrics(q->font());
        p.drawText(area,
                   Qt::AlignCenter | Qt::TextSingleLine,
                   metrics.elidedText(emptyText, Qt::ElideRight, area.width(), Qt::TextSingleLine));
    }

    /// Turns the list holding `id` into items, when a list holds it.
    void unlistOwner(int id)
    {
        if (!item(id)) {
            if (Team* t = listingTeam(id)) {
                unlist(t);
            }
        }
    }
};

QQTree::QQTree(QWidget* parent)
    : QScrollWidget(parent)
    , d(new Private(this))
{
    setMouseTracking(true);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
}

QQTree::~QQTree()
{
    delete d;
}

void QQTree::setIconSource(IconSource source)
{
    d->iconSource = std::move(source);
    d->listedIcons.clear();
    update();
}

void QQTree::addTeam(int id, const QString& name, int reserved, bool open)
{
    Q_UNUSED(reserved)
    // Id 0 means "no group" in the signals; such a group could never be told apart from empty space.
    if (id == 0) {
        return;
    }
    Team* t = d->teamSlot(id);
    t->name = name;
    t->open = open;
    if (open) {
        d->readTeam(t);
    }
    if (!t->declared) {
        t->declared = true;
        d->order.push_back(t);
    }
    d->invalidate();
}

void QQTree::setTeamSource(std::shared_ptr<TeamSource> source)
{
    d->teamSource = std::move(source);
}

void QQTree::addTeamUnread(int id, const QString& name, int itemCount)
{
    if (id == 0) {
        return;
    }
    Team* t = d->teamSlot(id);
    if (!t->declared && t->live == 0 && !t->source) {
        d->setUnread(t, true);
        t->live = std::max(0, itemCount);
    }
    addTeam(id, name, 0, false);
}

void QQTree::addItem(int itemId, int teamId, const QString& name, const QPixmap& icon, bool toTop)
{
    // Id 0 means "no item" in the signals.
    if (itemId == 0) {
        return;
    }
    // The group's own items come first; listed rows become items before one of them, or their group, changes.
    d->readTeam(d->team(teamId));
    d->unlistOwner(itemId);
    if (Team* t = d->team(teamId); t && t->source) {
        d->unlist(t);
    }
    // An id is shown once: a row with the same id makes way for the new one.
    if (Item* old = d->item(itemId)) {
        const int oldIndex = d->itemIndex.find(itemId);
        d->removeRow(*old);
        d->freeItem(oldIndex);
    }
    Team* t = d->teamSlot(teamId);
    const int index = d->allocItem();
    Item& it = d->items[index];
    it.id = itemId;
    it.team = t;
    it.name = name;
    if (!icon.isNull()) {
        d->icons.insert(itemId, icon);
    }
    d->itemIndex.insert(itemId, index);
    if (toTop) {
        d->prependRow(t, index);
    } else {
        d->appendRow(t, index);
    }
    d->invalidate();
}

void QQTree::updateTeam(int id, const QString& name)
{
    if (Team* t = d->team(id)) {
        t->name = name;
        update();
    }
}

void QQTree::updateItem(int itemId, const QString& name, const QString& extra)
{
    Q_UNUSED(extra)
    // An item still in the team source is read with its new name when its group is read.
    d->unlistOwner(itemId);
    if (Item* it = d->item(itemId)) {
        it->name = name;
        it->nameUnread = false;
        update();
    }
}

void QQTree::delTeam(int id)
{
    Team* t = d->team(id);
    if (!t) {
        return;
    }
    d->removeAllItems(t);
    if (t->declared) {
        d->order.erase(d->order.begin() + d->orderOf(t));
    }
    if (d->hover.team == id) {
        d->hover = Hit();
    }
    d->teams.erase(id);
    d->invalidate();
}

void QQTree::delItem(int itemId)
{
    d->unlistOwner(itemId);
    d->readOwner(itemId);
    const int index = d->itemIndex.find(itemId);
    if (index < 0) {
        // Removed from the team source first: whichever group held it shows its new count.
        d->recountUnread();
        return;
    }
    d->removeRow(d->items[index]);
    d->freeItem(index);
    if (d->selected == itemId) {
        d->selected = 0;
    }
    if (d->hover.item == itemId) {
        d->hover = Hit();
    }
    d->invalidate();
}

void QQTree::clearTeam(int id)
{
    if (Team* t = d->team(id)) {
        d->removeAllItems(t);
        if (d->hover.team == id) {
            d->hover = Hit();
        }
        d->invalidate();
    }
}

void QQTree::setTeamOpen(int id, bool open)
{
    Team* t = d->team(id);
    if (t && open) {
        d->readTeam(t);
    }
    if (t && t->open != open) {
        t->open = open;
        d->invalidate();
    }
}

void QQTree::setTeamHeight(int id, int height)
{
    if (Team* t = d->team(id)) {
        t->headerHeight = std::clamp(height, 0, kMaxHeaderHeight);
        if (t->headerHeight == 0) {
            d->readTeam(t); // a group without a header always shows its items
        }
        d->invalidate();
    }
}

int QQTree::getTeamCount() const
{
    return int(d->order.size());
}

int QQTree::getLastTeamId() const
{
    return d->order.empty() ? 0 : d->order.back()->id;
}

int QQTree::moveTeamUp(int id)
{
    return d->moveTeam(id, -1);
}

int QQTree::moveTeamDown(int id)
{
    return d->moveTeam(id, 1);
}

int QQTree::moveItemUp(int teamId, int itemId)
{
    return d->moveItem(teamId, itemId, -1);
}

int QQTree::moveItemDown(int teamId, int itemId)
{
    return d->moveItem(teamId, itemId, 1);
}

void QQTree::selectItem(int teamId, int itemId)
{
    d->readTeam(d->team(teamId));
    const Team* t = d->teamOf(itemId);
    if (!t || t->id != teamId || !t->declared) {
        return;
    }
    // A selected row is meant to be seen: open its group.
    setTeamOpen(teamId, true);
    d->select(itemId);
}

void QQTree::selectUp()
{
    d->walk(-1);
}

void QQTree::selectNext()
{
    d->walk(1);
}

void QQTree::getSelectItem(int& teamId, int& itemId) const
{
    const Team* t = d->selected ? d->teamOf(d->selected) : nullptr;
    teamId = t ? t->id : 0;
    itemId = t ? d->selected : 0;
    if (!t && !d->selected) {
        // The keyboard's cursor on a group header.
        const Team* header = d->shownTeam(d->cursorTeam);
        teamId = header && header->headerHeight > 0 ? header->id : 0;
    }
}

int QQTree::itemCount(int teamId) const
{
    const Team* t = d->team(teamId);
    return t ? t->live : 0;
}

QList<int> QQTree::itemIds(int teamId) const
{
    QList<int> ids;
    if (Team* t = d->team(teamId)) {
        d->readTeam(t);
        ids.reserve(t->live);
        for (int row = 0; row < t->live; ++row) {
            ids.append(d->idAtRow(t, row));
        }
    }
    return ids;
}

QList<int> QQTree::teamIds() const
{
    QList<int> ids;
    ids.reserve(int(d->order.size()));
    for (const Team* t : d->order) {
        ids.append(t->id);
    }
    return ids;
}

bool QQTree::isTeamOpen(int teamId) const
{
    const Team* t = d->team(teamId);
    return t && t->open;
}

QString QQTree::itemName(int itemId) const
{
    return d->nameOf(itemId);
}

QString QQTree::teamName(int teamId) const
{
    const Team* t = d->team(teamId);
    return t ? t->name : QString();
}

bool QQTree::hasItem(int itemId) const
{
    return d->itemIndex.contains(itemId) || d->listingTeam(itemId) || d->readOwner(itemId);
}

QRect QQTree::teamRect(int teamId) const
{
    const Team* t = d->shownTeam(teamId);
    if (!t || t->headerHeight == 0) {
        return QRect();
    }
    d->ensureLayout();
    return QRect(0, int(t->top - scrollOffset()), width(), t->headerHeight);
}

void QQTree::setTeamRows(int teamId, std::shared_ptr<const RowSource> source)
{
    if (teamId == 0) {
        return;
    }
    Team* t = d->teamSlot(teamId);
    d->removeAllItems(t);
    if (d->hover.team == teamId) {
        d->hover = Hit();
    }
    if (source) {
        t->live = source->rowCount();
        t->source = std::move(source);
        d->listed.push_back(t);
    }
    d->invalidate();
}

void QQTree::teamRowsAppended(int teamId)
{
    Team* t = d->team(teamId);
    if (t && t->source && t->source->rowCount() != t->live) {
        t->live = t->source->rowCount();
        d->invalidate();
    }
}

void QQTree::setEmptyText(const QString& text)
{
    if (d->emptyText != text) {
        d->emptyText = text;
        update();
    }
}

QRect QQTree::itemRect(int itemId) const
{
    const qint64 top = d->rowTop(itemId);
    if (top < 0) {
        return QRect();
    }
    return QRect(0, int(top - scrollOffset()), width(), kItemHeight);
}

void QQTree::paintEvent(QPaintEvent* event)
{
    d->ensureLayout();
    if (d->total == 0 && !d->emptyText.isEmpty()) {
        d->paintEmptyText();
    }
    if (d->order.empty()) {
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect clip = event->rect();
    const qint64 offset = scrollOffset();
    const qint64 y0 = offset + clip.top();
    const qint64 y1 = offset + clip.bottom() + 1;
    QFont headerFont = font();
    headerFont.setWeight(QFont::DemiBold);
    const QFontMetrics metrics(font());
    const int w = width();

    // Index-based walk: the icon source is called while painting and must not leave a dangling iterator.
    for (size_t pos = d->teamAt(y0) - d->order.begin(); pos < d->order.size(); ++pos) {
        Team* t = d->order[pos];
        if (t->top >= y1) {
            break;
        }
        if (t->headerHeight > 0 && t->top + t->headerHeight > y0) {
            d->paintHeader(p, t, QRect(0, int(t->top - offset), w, t->headerHeight), headerFont);
            p.setFont(font());
        }
        if (!t->showsItems() || t->live == 0) {
            continue;
        }
        d->compact(t);
        const qint64 itemsTop = t->top + t->headerHeight;
        const qint64 first = std::max<qint64>(0, (y0 - itemsTop) / kItemHeight);
        const qint64 last = std::min<qint64>(t->live - 1, (y1 - 1 - itemsTop) / kItemHeight);
        for (qint64 row = first; row <= last; ++row) {
            if (pos >= d->order.size() || d->order[pos] != t || row >= t->live
                || (!t->source && t->head + row >= qint64(t->rows.size()))) {
                return;
            }
            const QRect rect(0, int(itemsTop + row * kItemHeight - offset), w, kItemHeight);
            if (t->source) {
                d->paintListedRow(p, t, int(row), rect, metrics);
            } else {
                d->paintItem(p, t->rows[t->head + row], rect, metrics);
            }
        }
    }
}

void QQTree::mousePressEvent(QMouseEvent* event)
{
    const Hit hit = d->hitTest(event->position().toPoint());
    d->pressed = hit;
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) {
        return;
    }
    if (hit.item) {
        d->selected = hit.item;
        d->cursorTeam = 0;
        update();
    } else if (hit.team) {
        // A header clicked takes the keyboard's cursor; a left click also opens or closes its group.
        d->selected = 0;
        d->cursorTeam = hit.team;
        update();
        if (event->button() == Qt::LeftButton) {
            setTeamOpen(hit.team, !d->team(hit.team)->open);
        }
    } else if (!hit.team && event->button() == Qt::LeftButton) {
        d->selected = 0;
        update();
    }
}

void QQTree::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        return;
    }
    const Hit hit = d->hitTest(event->position().toPoint());
    emit RClicked(hit.team, hit.item);
}

void QQTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        // A fast second right click is still a right click.
        mousePressEvent(event);
        return;
    }
    // The first click of the pair has already opened or closed a group; the second one does not undo it.
    const Hit hit = d->hitTest(event->position().toPoint());
    if (hit.item) {
        d->selected = hit.item;
        update();
    }
    emit DbClicked(hit.team, hit.item);
}

void QQTree::mouseMoveEvent(QMouseEvent* event)
{
    d->setHover(d->hitTest(event->position().toPoint()));
}

void QQTree::leaveEvent(QEvent* event)
{
    d->setHover(Hit());
    QScrollWidget::leaveEvent(event);
}

void QQTree::keyPressEvent(QKeyEvent* event)
{
    const Hit current = d->currentRow();
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Headers are rows too: the keyboard reaches closed groups through them.
        if (const Hit next = d->neighbourRow(event->key() == Qt::Key_Down ? 1 : -1); next.team) {
            d->setCurrentRow(next);
        }
        break;
    case Qt::Key_Left:
        // Closes the group of the current row and puts the cursor on its header.
        if (const Team* t = d->team(current.team); t && t->headerHeight > 0 && (current.item || t->open)) {
            setTeamOpen(t->id, false);
            d->setCurrentRow({ t->id, 0 });
        }
        break;
    case Qt::Key_Right:
        // Opens the group under the cursor; on an open group, goes to its first item.
        if (Team* t = d->team(current.team); t && !current.item) {
            if (!t->open) {
                setTeamOpen(t->id, true);
            } else if (t->live > 0) {
                d->setCurrentRow({ t->id, d->idAtRow(t, 0) });
            }
        }
        break;
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool home = event->key() == Qt::Key_Home;
        if (const Hit edge = d->rowFromTeam(home ? 0 : int(d->order.size()) - 1, home ? 1 : -1); edge.team) {
            d->setCurrentRow(edge);
        }
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current.item) {
            emit DbClicked(current.team, current.item);
        } else if (current.team) {
            setTeamOpen(current.team, !isTeamOpen(current.team));
        }
        break;
    case Qt::Key_F10:
        if (event->modifiers() != Qt::ShiftModifier) {
            QScrollWidget::keyPressEvent(event);
            return;
        }
        [[fallthrough]];
    case Qt::Key_Menu: {
        // The context menu of the current row (of the empty space when there is none), opened beside the row.
        const QRect row = current.item ? itemRect(current.item) : teamRect(current.team);
        const QPoint at = row.isEmpty() ? QPoint(kPad, kPad) : QPoint(row.left() + 3 * kPad, row.bottom());
        const QSkinMenu::KeyboardPlace place(mapToGlobal(at));
        emit RClicked(current.team, current.item);
        break;
    }
    default:
        // Page keys and the like go on to the scroll area.
        QScrollWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void QQTree::contextMenuEvent(QContextMenuEvent* event)
{
    // The platform's own menu event for the Menu key comes besides the key, which has opened the menu already;
    // right clicks are handled as mouse releases.
    event->accept();
}

void QQTree::focusInEvent(QFocusEvent* event)
{
    QScrollWidget::focusInEvent(event);
    // Reached with Tab, the tree shows where the keyboard is at once.
    // (A dialog being shown sends its focus widget a focus event of that reason too, before it has the focus.)
    const Qt::FocusReason reason = event->reason();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && hasFocus() && !d->currentRow().team) {
        if (const Hit first = d->rowFromTeam(0, 1); first.team) {
            d->setCurrentRow(first);
        }
    }
    update();
}

void QQTree::focusOutEvent(QFocusEvent* event)
{
    QScrollWidget::focusOutEvent(event);
    update();
}

bool QQTree::takeAsReference(QDropEvent* event)
{
    const Qt::DropActions possible = event->possibleActions();
    if (possible & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
    } else if (possible & Qt::LinkAction) {
        event->setDropAction(Qt::LinkAction);
    } else {
        return false;
    }
    return true;
}

bool QQTree::takesDrop(const QMimeData* mime) const
{
    // A tree nobody takes dropped files from shows the "no drop" cursor instead of swallowing them.
    static const QMetaMethod dropSignal = QMetaMethod::fromSignal(&QQTree::sig_dragEvent);
    return isSignalConnected(dropSignal) && hasLocalFiles(mime);
}

void QQTree::dragEnterEvent(QDragEnterEvent* event)
{
    // Entering is answered like the first move: the same check, action and drop target.
    dragMoveEvent(event);
}

void QQTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (takesDrop(event->mimeData()) && takeAsReference(event)) {
        event->accept();
        d->setDropTarget(event->position().toPoint());
    } else {
        event->ignore();
    }
}

void QQTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    d->dropTeam = 0;
    update();
    event->accept();
}

void QQTree::dropEvent(QDropEvent* event)
{
    d->dropTeam = 0;
    update();
    if (!takesDrop(event->mimeData()) || !takeAsReference(event)) {
        event->ignore();
        return;
    }
    event->accept();
    const Hit hit = d->hitTest(event->position().toPoint());
    emit sig_dragEvent(event, hit.team, hit.item);
}

void QQTree::resizeEvent(QResizeEvent* event)
{
    QScrollWidget::resizeEvent(event);
    d->ensureLayout();
    if (d->pendingReveal && isVisible()) {
        d->reveal(d->pendingReveal);
    }
}

bool QQTree::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (d->pendingReveal) {
            d->reveal(d->pendingReveal);
        }
        return QScrollWidget::event(event);
    case QEvent::LayoutRequest:
        d->layoutPosted = false;
        d->ensureLayout();
        d->refreshHover();
        update();
        return true;
    case QEvent::ToolTip: {
        // Names cut short by the row width show whole in a tool tip.
        auto* help = static_cast<QHelpEvent*>(event);
        const Hit hit = d->hitTest(help->pos());
        const Team* t = hit.item ? d->teamOf(hit.item) : nullptr;
        if (t) {
            const int textLeft = d->itemX(t) + kIconSize + kPad;
            const int available = width() - kPad - textLeft;
            const QString name = d->nameOf(hit.item);
            if (QFontMetrics(font()).horizontalAdvance(name) > available) {
                QToolTip::showText(help->globalPos(), name, this, itemRect(hit.item));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    default:
        return QScrollWidget::event(event);
    }
}

void QQTree::scrollOffsetChanged(int offset)
{
    QScrollWidget::scrollOffsetChanged(offset);
    d->refreshHover();
}
