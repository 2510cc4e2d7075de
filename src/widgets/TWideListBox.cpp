#include "widgets/TWideListBox.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "text/TextCodec.h"

namespace tabulex {

namespace {

constexpr int kTextMargin = 2;           // pixels between the item's left edge and its text
constexpr int kDefaultTabStopZeros = 8;  // tab spacing without a TabWidth, in widths of "0"

// The index in the shown text of each byte offset of the item (one past the end included).
std::vector<int> characterIndexes(std::string_view bytes, bool utf8)
{
    std::vector<int> at(bytes.size() + 1);
    int index = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        at[i] = index;
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (!utf8 || (b & 0xC0) != 0x80)
            index += utf8 && b >= 0xF0 ? 2 : 1;  // a 4-byte sequence is a surrogate pair
    }
    at[bytes.size()] = index;
    return at;
}

// Draws every item in the list's measuring font with its tab stops, and reports every item
// as wide as the widest one: the view then sizes its contents (and so its horizontal range)
// to the widest item while still asking for only one size hint.
class WideItemDelegate : public QStyledItemDelegate {
public:
    explicit WideItemDelegate(TWideListBox* list) : QStyledItemDelegate(list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(list_->widestWidth(), list_->itemHeight());
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
        textOption.setWrapMode(QTextOption::NoWrap);
        textOption.setTabStopDistance(list_->tabStopPixels());
        const bool selected = opt.state.testFlag(QStyle::State_Selected);
        painter->save();
        painter->setFont(TAdvanceTable::measuringFont(list_->font()));
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRectF area(opt.rect.adjusted(kTextMargin, 0, 0, 0));
        if (selected || !drawColoured(painter, area, index.row(), text, textOption))
            painter->drawText(area, text, textOption);
        painter->restore();
    }

private:
    // Draws the item with its colours; false when it has none.
    bool drawColoured(QPainter* painter, const QRectF& area, int row, const QString& text,
                      const QTextOption& textOption) const
    {
        const std::vector<TItemColour> colours = list_->itemColours(row);
        if (colours.empty())
            return false;
        const TStringListModel& items = list_->Items();
        std::string scratch;
        const std::string_view bytes = items.displayBytes(row, scratch);
        const std::vector<int> at =
            characterIndexes(bytes, items.utf8Display() && isValidUtf8(bytes));
        QList<QTextLayout::FormatRange> formats;
        for (const TItemColour& colour : colours) {
            const std::size_t start =
                std::min<std::size_t>(static_cast<std::size_t>(colour.start), bytes.size());
            const std::size_t end = std::min<std::size_t>(
                start + static_cast<std::size_t>(colour.length), bytes.size());
            if (end <= start)
                continue;
            QTextLayout::FormatRange range;
            range.start = at[start];
            range.length = at[end] - at[start];
            range.format.setForeground(colour.colour);
            formats.append(range);
        }
        QTextLayout layout(text, painter->font());
        layout.setTextOption(textOption);
        layout.setFormats(formats);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(1e6);
        layout.endLayout();
        const qreal top = area.top() + (area.height() - line.height()) / 2;
        layout.draw(painter, QPointF(area.left(), top));
        return true;
    }

    TWideListBox* list_;
};

}  // namespace

TWideListBox::TWideListBox(QWidget* parent) : TListBox(parent), advances_(font())
{
    QAbstractItemDelegate* plain = itemDelegate();
    setItemDelegate(new WideItemDelegate(this));
    delete plain;
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    const TStringListModel* model = &Items();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { onRowsInserted(first, last); });
    connect(
        model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [this](const QModelIndex&, int first, int last) { onRowsAboutToBeRemoved(first, last); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { onRowsRemoved(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { onModelReset(); });
}

void TWideListBox::setItemColours(TItemColours colours)
{
    colours_ = std::move(colours);
    viewport()->update();
}

std::vector<TItemColour> TWideListBox::itemColours(int row) const
{
    std::vector<TItemColour> colours;
    if (colours_ && row >= 0 && row < Items().count())
        colours_(row, colours);
    return colours;
}

void TWideListBox::layoutItem(int row, QTextLayout& layout) const
{
    QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
    textOption.setWrapMode(QTextOption::NoWrap);
    textOption.setTabStopDistance(tabStopPixels());
    layout.setText(Items().displayText(row));
    layout.setFont(TAdvanceTable::measuringFont(font()));
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
}

int TWideListBox::byteAt(int row, int x) const
{
    if (row < 0 || row >= Items().count())
        return -1;
    QTextLayout layout;
    layoutItem(row, layout);
    const int left = visualRect(Items().index(row)).left() + kTextMargin;
    const int character = layout.lineAt(0).xToCursor(x - left, QTextLine::CursorOnCharacter);
    std::string scratch;
    const std::string_view bytes = Items().displayBytes(row, scratch);
    const std::vector<int> at =
        characterIndexes(bytes, Items().utf8Display() && isValidUtf8(bytes));
    // The first byte of the character: the last offset whose index is not beyond it.
    const auto found = std::upper_bound(at.begin(), at.end(), character);
    return static_cast<int>(std::max<std::ptrdiff_t>(found - at.begin() - 1, 0));
}

int TWideListBox::xOfByte(int row, int byte) const
{
    if (row < 0 || row >= Items().count())
        return -1;
    std::string scratch;
    const std::string_view bytes = Items().displayBytes(row, scratch);
    const bool utf8 = Items().utf8Display() && isValidUtf8(bytes);
    const std::vector<int> at = characterIndexes(bytes, utf8);
    auto offset = std::min<std::size_t>(static_cast<std::size_t>(std::max(byte, 0)), bytes.size());
    // A byte inside a UTF-8 sequence stands where its character does.
    while (utf8 && offset > 0 && offset < bytes.size() &&
           (static_cast<unsigned char>(bytes[offset]) & 0xC0) == 0x80)
        --offset;
    QTextLayout layout;
    layoutItem(row, layout);
    return visualRect(Items().index(row)).left() + kTextMargin +
           static_cast<int>(std::lround(layout.lineAt(0).cursorToX(at[offset])));
}

void TWideListBox::setTabWidth(int tabWidth)
{
    if (tabWidth == tabWidth_)
        return;
    tabWidth_ = tabWidth;
    recomputeWidest();
    viewport()->update();
}

int TWideListBox::tabStopPixels() const
{
    if (tabWidth_ <= 0)
        return kDefaultTabStopZeros * advances_.zeroWidth();
    return static_cast<int>(std::lround(tabWidth_ * advances_.zeroWidth() * 0.25));
}

int TWideListBox::itemWidth(int index) const
{
    std::string scratch;
    return itemWidth(index, scratch);
}

int TWideListBox::itemWidth(int index, std::string& scratch) const
{
    const TStringListModel& items = Items();
    const std::string_view bytes = items.displayBytes(index, scratch);
    const int tabStop = tabStopPixels();
    int width = 0;
    if (items.utf8Display() && isValidUtf8(bytes))
        width = advances_.width(items.displayText(bytes) + QLatin1Char('x'), tabStop);
    else
        width = advances_.widthCp1252(bytes, tabStop, "x");
    // The tabbed extent is a packed value whose low 16 bits hold the width.
    return tabWidth_ > 0 ? (width & 0xFFFF) : width;
}

void TWideListBox::changeEvent(QEvent* event)
{
    TListBox::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    advances_ = TAdvanceTable(font());
    recomputeWidest();
}

void TWideListBox::onRowsInserted(int first, int last)
{
    int widest = widest_;
    std::string scratch;
    for (int row = first; row <= last; ++row)
        widest = std::max(widest, itemWidth(row, scratch));
    setWidest(widest);
}

void TWideListBox::onRowsAboutToBeRemoved(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        if (itemWidth(row) >= widest_) {
            scrollToLeftEdge();
            recomputeAfterRemove_ = true;
            return;
        }
    }
}

void TWideListBox::onRowsRemoved()
{
    if (!recomputeAfterRemove_)
        return;
    recomputeAfterRemove_ = false;
    recomputeWidest();
}

void TWideListBox::onModelReset()
{
    recomputeAfterRemove_ = false;
    scrollToLeftEdge();
    recomputeWidest();
}

void TWideListBox::recomputeWidest()
{
    int widest = 0;
    const int count = Items().count();
    std::string scratch;
    for (int row = 0; row < count; ++row)
        widest = std::max(widest, itemWidth(row, scratch));
    setWidest(widest);
}

void TWideListBox::setWidest(int widest)
{
    if (widest == widest_)
        return;
    widest_ = widest;
    // A fresh layout asks the delegate for the (uniform) item size again, which sets the
    // contents width and with it the horizontal scroll range.
    scheduleDelayedItemsLayout();
    executeDelayedItemsLayout();
}

void TWideListBox::scrollToLeftEdge()
{
    horizontalScrollBar()->setValue(0);
}

}  // namespace tabulex
