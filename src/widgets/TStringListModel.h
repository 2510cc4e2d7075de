#pragma once
#include <QAbstractListModel>
#include <string>
#include <vector>

namespace tabulex {

/// A list model over single-byte string items (the file's bytes, never converted in storage).
/// Items are decoded for display only: as Windows-1252, or as UTF-8 for items that are valid
/// UTF-8 when UTF-8 display is switched on for the list.
class TStringListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TStringListModel(QObject* parent = nullptr);

    /// Replaces every item in one model reset (the batch fill of a build).
    void setItems(std::vector<std::string> items, bool utf8Display = false);
    void clear();
    void append(std::string item);
    void insert(int index, std::string item);
    void remove(int index);

    const std::vector<std::string>& items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    const std::string& item(int index) const { return items_[static_cast<std::size_t>(index)]; }
    bool utf8Display() const { return utf8Display_; }
    /// The bytes of an item that are shown: all of them, or the first kMaxDisplayBytes of a
    /// longer item (cut at a character boundary), so that a line of megabytes cannot stall
    /// every repaint. The item itself keeps every byte.
    std::string_view displayBytes(int index) const;
    /// The text shown for an item: its display bytes decoded, each line break in them (an item
    /// such as a routine header written over several lines) shown as kLineBreakMark.
    QString displayText(int index) const;
    /// True when the display bytes of an item hold a CR or LF byte.
    bool hasLineBreak(int index) const;

    /// The visible mark drawn in place of a line break.
    static constexpr QChar kLineBreakMark = QChar(0x21B5);

    static constexpr std::size_t kMaxDisplayBytes = 16384;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<std::string> items_;
    bool utf8Display_ = false;
};

}  // namespace tabulex
