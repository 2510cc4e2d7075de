#pragma once
#include <QColor>
#include <functional>
#include <vector>

class QTextLayout;

#include "widgets/TAdvanceTable.h"
#include "widgets/TListBox.h"

namespace tabulex {

/// A list box whose horizontal scroll range always covers its widest item, so that long
/// listing lines can be scrolled fully into view.
///
/// The width of an item is the width of its text with one "x" appended. With a `TabWidth`
/// above 0, tabs stop every round(TabWidth × width of "0" × 0.25) pixels and only the low
/// 16 bits of the measured extent count; with 0 or less, tabs stop every eight widths of "0".
/// Items are drawn with the same tab stops and the same (unkerned) font they are measured
/// with. The range follows every change of the items (append, insert, remove, clear, reset)
/// and of the font; widths come from a per-font advance table, so a reset over hundreds of
/// thousands of items costs one pass over their bytes.
/// A coloured stretch of an item, in bytes of the item. Only the colour changes, never the
/// font, so the measured widths hold.
struct TItemColour {
    int start = 0;
    int length = 0;
    QColor colour;
};

/// Gives the coloured stretches of an item (in order, without overlap) when it is drawn.
using TItemColours = std::function<void(int row, std::vector<TItemColour>& colours)>;

class TWideListBox : public TListBox {
    Q_OBJECT
public:
    explicit TWideListBox(QWidget* parent = nullptr);

    /// Tab spacing in quarters of the width of "0" (0 or less: the default spacing).
    int TabWidth() const { return tabWidth_; }
    void setTabWidth(int tabWidth);

    /// The widest item width in pixels, 0 for an empty list.
    int widestWidth() const { return widest_; }
    /// Width in pixels of one item's text by the rule above.
    int itemWidth(int index) const;
    /// Distance between two tab stops in pixels, as measured and drawn.
    int tabStopPixels() const;

    /// Colours parts of the items as they are drawn (an empty function: plain text). Selected
    /// items are drawn plain in the selection's colours.
    void setItemColours(TItemColours colours);
    /// The coloured stretches of a row (none without colours).
    std::vector<TItemColour> itemColours(int row) const;

    /// The byte of row `row` drawn at `x` (viewport pixels), as the row is drawn: the first
    /// byte of the character under it; the row's length right of its text, 0 left of it. -1
    /// for a row the list does not have.
    int byteAt(int row, int x) const;
    /// Where the character holding byte `byte` of row `row` begins, in viewport pixels; -1 for
    /// a missing row.
    int xOfByte(int row, int byte) const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void onRowsInserted(int first, int last);
    void onRowsAboutToBeRemoved(int first, int last);
    void onRowsRemoved();
    void onModelReset();
    int itemWidth(int index, std::string& scratch) const;
    /// Lays row `row` out on one line as it is drawn, into `layout`.
    void layoutItem(int row, QTextLayout& layout) const;
    void recomputeWidest();
    void setWidest(int widest);
    void scrollToLeftEdge();

    TAdvanceTable advances_;
    TItemColours colours_;
    int tabWidth_ = 0;
    int widest_ = 0;
    bool recomputeAfterRemove_ = false;
};

}  // namespace tabulex
