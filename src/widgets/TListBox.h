#pragma once
#include <QListView>

#include "widgets/TStringListModel.h"

namespace tabulex {

/// A plain list box over single-byte items: a list view with uniform item heights, so that
/// lists of hundreds of thousands of lines are shown and scrolled without delay.
class TListBox : public QListView {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr);

    TStringListModel& Items() { return model_; }
    const TStringListModel& Items() const { return model_; }

    /// Fixed pixel height of every item.
    void setItemHeight(int height);
    int itemHeight() const { return itemHeight_; }

private:
    TStringListModel model_;
    int itemHeight_ = 13;
};

}  // namespace tabulex
