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

    TStringListModel& Items() { return m_model; }
    const TStringListModel& Items() const { return m_model; }

    /// Fixed pixel height of every item.
    void setItemHeight(int height);
    int itemHeight() const { return m_itemHeight; }

private:
    TStringListModel m_model;
    int m_itemHeight = 13;
};

}  // namespace tabulex
