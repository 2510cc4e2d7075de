#include "config/TRadioGroup.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QRadioButton>
#include <algorithm>

namespace tabulex {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this))
{
    for (const QString& item : items) {
        auto* button = new QRadioButton(item, this);
        group_->addButton(button, count());
        buttons_.push_back(button);
    }
    connect(group_, &QButtonGroup::idToggled, this, &TRadioGroup::followButtons);
    arrangeButtons();
}

void TRadioGroup::setItemIndex(int index)
{
    index = std::clamp(index, -1, count() - 1);
    if (index == index_)
        return;
    if (index >= 0) {
        button(index)->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; release it for a moment to clear them all.
    group_->setExclusive(false);
    button(index_)->setChecked(false);
    group_->setExclusive(true);
}

void TRadioGroup::followButtons()
{
    const int checked = group_->checkedId();
    if (checked == index_)
        return;
    index_ = checked;
    emit itemIndexChanged(index_);
}

void TRadioGroup::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    arrangeButtons();
}

// Spreads the buttons evenly over the space below the caption.
void TRadioGroup::arrangeButtons()
{
    if (buttons_.empty())
        return;
    const int top = fontMetrics().height() + 2;
    const int rowHeight = std::max(1, (height() - top - 4) / count());
    for (int i = 0; i < count(); ++i)
        button(i)->setGeometry(8, top + i * rowHeight, std::max(1, width() - 16), rowHeight);
}

}  // namespace tabulex
