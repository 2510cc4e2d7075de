#pragma once
#include <QAbstractListModel>
#include <memory>
#include <string>
#include <vector>

#include "analysis/LineSource.h"
#include "widgets/TAdvanceTable.h"

namespace tabulex {

/// A list model over single-byte lines (the file's bytes, never converted in storage), read
/// from a line source on demand: the model holds no copy of them. Lines are decoded for
/// display only: as Windows-1252, or as UTF-8 for lines that are valid UTF-8 when UTF-8
/// display is switched on for the list.
class TStringListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TStringListModel(QObject* parent = nullptr);

    /// Shows the lines of `source` in one model reset (null: no lines).
    void setSource(std::shared_ptr<const TLineSource> source, bool utf8Display = false);
    /// Shows lines held as strings, in one model reset.
    void setItems(std::vector<std::string> items, bool utf8Display = false);
    void clear();
    /// Adds, inserts and removes single lines of a list held as strings (a list shown from
    /// another source becomes one of its own first).
    void append(std::string item);
    void insert(int index, std::string item);
    void remove(int index);

    int count() const { return count_; }
    /// The bytes of line `index`.
    std::string item(int index) const;
    /// The same without a copy: the view may point into `scratch` (see TLineSource).
    std::string_view itemView(int index, std::string& scratch) const;
    bool utf8Display() const { return utf8Display_; }
    /// The bytes of an item that are shown: all of them, or the first kMaxDisplayBytes of a
    /// longer item (cut at a character boundary), so that a line of megabytes cannot stall
    /// every repaint. The item itself keeps every byte.
    std::string_view displayBytes(int index, std::string& scratch) const;
    /// The text shown for an item: its display bytes decoded, each line break in them (an item
    /// such as a routine header written over several lines) shown as kLineBreakMark.
    QString displayText(int index) const;
    /// The same for display bytes already taken.
    QString displayText(std::string_view bytes) const;

    /// The visible mark drawn in place of a line break.
    static constexpr QChar kLineBreakMark = TAdvanceTable::kLineBreakMark;

    static constexpr std::size_t kMaxDisplayBytes = 16384;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<std::string>& ownLines();

    std::shared_ptr<const TLineSource> source_;
    std::shared_ptr<TStringLines> own_;  ///< the lines, when the model holds them
    int count_ = 0;
    bool utf8Display_ = false;
};

}  // namespace tabulex
