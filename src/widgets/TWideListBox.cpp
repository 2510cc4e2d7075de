#include "TWideListBox.h"

#include "text/TextCodec.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace tabulex {

namespace {

constexpr int kTextMargin = 2;           // pixels between the item's left edge and its text
constexpr int kDefaultTabStopZeros = 8;  // tab spacing without a TabWidth, in widths of "0"

// Draws every item in the list's measuring font with its tab stops, and reports every item
// as wide as the widest one: the view then sizes its contents (and so its horizontal range)
// to the widest item while still asking for only one size hint.
class WideItemDelegate : public QStyledItemDelegate {
public:
    explicit WideItemDelegate(TWideListBox* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(m_list->widestWidth(), m_list->itemHeight());
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
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
        textOption.setTabStopDistance(m_list->tabStopPixels());
        const bool selected = opt.state.testFlag(QStyle::State_Selected);
        painter->save();
        painter->setFont(TAdvanceTable::measuringFont(m_list->font()));
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRectF(opt.rect.adjusted(kTextMargin, 0, 0, 0)), text, textOption);
        painter->restore();
    }

private:
    TWideListBox* m_list;
};

}  // namespace

TWideListBox::TWideListBox(QWidget* parent) : TListBox(parent), m_advances(font())
{
    QAbstractItemDelegate* plain = itemDelegate();
    setItemDelegate(new WideItemDelegate(this));
    delete plain;
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    const TStringListModel* model = &Items();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { onRowsInserted(first, last); });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { onRowsAboutToBeRemoved(first, last); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { onRowsRemoved(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { onModelReset(); });
}

void TWideListBox::setTabWidth(int tabWidth)
{
    if (tabWidth == m_tabWidth)
        return;
    m_tabWidth = tabWidth;
    recomputeWidest();
    viewport()->update();
}

int TWideListBox::tabStopPixels() const
{
    if (m_tabWidth <= 0)
        return kDefaultTabStopZeros * m_advances.zeroWidth();
    return static_cast<int>(std::lround(m_tabWidth * m_advances.zeroWidth() * 0.25));
}

int TWideListBox::itemWidth(int index) const
{
    const TStringListModel& items = Items();
    const std::string& bytes = items.item(index);
    const int tabStop = tabStopPixels();
    int width = 0;
    if (items.utf8Display() && isValidUtf8(bytes))
        width = m_advances.width(items.displayText(index) + QLatin1Char('x'), tabStop);
    else
        width = m_advances.widthCp1252(items.displayBytes(index), tabStop, "x");
    // The tabbed extent is a packed value whose low 16 bits hold the width.
    return m_tabWidth > 0 ? (width & 0xFFFF) : width;
}

void TWideListBox::changeEvent(QEvent* event)
{
    TListBox::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    m_advances = TAdvanceTable(font());
    recomputeWidest();
}

void TWideListBox::onRowsInserted(int first, int last)
{
    int widest = m_widest;
    for (int row = first; row <= last; ++row)
        widest = std::max(widest, itemWidth(row));
    setWidest(widest);
}

void TWideListBox::onRowsAboutToBeRemoved(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        if (itemWidth(row) >= m_widest) {
            scrollToLeftEdge();
            m_recomputeAfterRemove = true;
            return;
        }
    }
}

void TWideListBox::onRowsRemoved()
{
    if (!m_recomputeAfterRemove)
        return;
    m_recomputeAfterRemove = false;
    recomputeWidest();
}

void TWideListBox::onModelReset()
{
    m_recomputeAfterRemove = false;
    scrollToLeftEdge();
    recomputeWidest();
}

void TWideListBox::recomputeWidest()
{
    int widest = 0;
    const int count = Items().count();
    for (int row = 0; row < count; ++row)
        widest = std::max(widest, itemWidth(row));
    setWidest(widest);
}

void TWideListBox::setWidest(int widest)
{
    if (widest == m_widest)
        return;
    m_widest = widest;
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
