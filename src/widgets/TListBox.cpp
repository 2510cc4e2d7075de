#include "widgets/TListBox.h"

#include <QStyledItemDelegate>

namespace tabulex {

namespace {
// Gives every item the list's fixed height without asking the model for each one.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(const TListBox* list, QObject* parent)
        : QStyledItemDelegate(parent), list_(list)
    {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(list_->itemHeight());
        return size;
    }

private:
    const TListBox* list_;
};
}  // namespace

TListBox::TListBox(QWidget* parent) : QListView(parent)
{
    setModel(&model_);
    setUniformItemSizes(true);
    setItemDelegate(new FixedHeightDelegate(this, this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TListBox::setItemHeight(int height)
{
    itemHeight_ = height;
    doItemsLayout();
}

}  // namespace tabulex
