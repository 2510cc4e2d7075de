#include "widgets/TStringListModel.h"

#include <algorithm>
#include <climits>

#include "text/TextCodec.h"

namespace tabulex {

TStringListModel::TStringListModel(QObject* parent) : QAbstractListModel(parent)
{}

void TStringListModel::setSource(std::shared_ptr<const TLineSource> source, bool utf8Display)
{
    beginResetModel();
    own_.reset();
    source_ = std::move(source);
    // A list view counts its rows in an int.
    count_ = source_ ? static_cast<int>(std::min<std::size_t>(source_->size(), INT_MAX)) : 0;
    utf8Display_ = utf8Display;
    endResetModel();
}

void TStringListModel::setItems(std::vector<std::string> items, bool utf8Display)
{
    auto own = std::make_shared<TStringLines>(std::move(items));
    setSource(own, utf8Display);
    own_ = std::move(own);
}

void TStringListModel::clear()
{
    setSource(nullptr);
}

std::vector<std::string>& TStringListModel::ownLines()
{
    if (!own_) {
        std::vector<std::string> copy;
        for (int i = 0; i < count_; ++i)
            copy.push_back(item(i));
        own_ = std::make_shared<TStringLines>(std::move(copy));
        source_ = own_;
    }
    return own_->strings();
}

void TStringListModel::append(std::string item)
{
    insert(count(), std::move(item));
}

void TStringListModel::insert(int index, std::string item)
{
    std::vector<std::string>& lines = ownLines();
    index = std::clamp(index, 0, count());
    beginInsertRows(QModelIndex(), index, index);
    lines.insert(lines.begin() + index, std::move(item));
    ++count_;
    endInsertRows();
}

void TStringListModel::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    std::vector<std::string>& lines = ownLines();
    beginRemoveRows(QModelIndex(), index, index);
    lines.erase(lines.begin() + index);
    --count_;
    endRemoveRows();
}

std::string TStringListModel::item(int index) const
{
    std::string scratch;
    return std::string(itemView(index, scratch));
}

std::string_view TStringListModel::itemView(int index, std::string& scratch) const
{
    return source_->line(static_cast<std::size_t>(index), scratch);
}

std::string_view TStringListModel::displayBytes(int index, std::string& scratch) const
{
    std::string_view bytes = itemView(index, scratch);
    if (bytes.size() <= kMaxDisplayBytes)
        return bytes;
    std::size_t cut = kMaxDisplayBytes;
    // Never split a UTF-8 sequence: back up to the start of the character at the cut.
    if (utf8Display_)
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
    return bytes.substr(0, cut);
}

QString TStringListModel::displayText(int index) const
{
    std::string scratch;
    return displayText(displayBytes(index, scratch));
}

QString TStringListModel::displayText(std::string_view bytes) const
{
    QString text = utf8Display_ && isValidUtf8(bytes)
                       ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
                       : fromCp1252(bytes);
    if (bytes.find_first_of("\r\n") == std::string_view::npos)
        return text;
    // Every break (CR LF, CR or LF) becomes one mark, so the item keeps to its one row.
    text.replace(QStringLiteral("\r\n"), QString(kLineBreakMark));
    text.replace(QLatin1Char('\r'), kLineBreakMark);
    text.replace(QLatin1Char('\n'), kLineBreakMark);
    return text;
}

int TStringListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant TStringListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return displayText(index.row());
}

}  // namespace tabulex
