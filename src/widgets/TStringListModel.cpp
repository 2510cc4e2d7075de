#include "widgets/TStringListModel.h"

#include <algorithm>

#include "text/TextCodec.h"

namespace tabulex {

TStringListModel::TStringListModel(QObject* parent) : QAbstractListModel(parent)
{}

void TStringListModel::setItems(std::vector<std::string> items, bool utf8Display)
{
    beginResetModel();
    items_ = std::move(items);
    utf8Display_ = utf8Display;
    endResetModel();
}

void TStringListModel::clear()
{
    setItems({}, false);
}

void TStringListModel::append(std::string item)
{
    insert(count(), std::move(item));
}

void TStringListModel::insert(int index, std::string item)
{
    index = std::clamp(index, 0, count());
    beginInsertRows(QModelIndex(), index, index);
    items_.insert(items_.begin() + index, std::move(item));
    endInsertRows();
}

void TStringListModel::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    beginRemoveRows(QModelIndex(), index, index);
    items_.erase(items_.begin() + index);
    endRemoveRows();
}

std::string_view TStringListModel::displayBytes(int index) const
{
    std::string_view bytes = item(index);
    if (bytes.size() <= kMaxDisplayBytes)
        return bytes;
    std::size_t cut = kMaxDisplayBytes;
    // Never split a UTF-8 sequence: back up to the start of the character at the cut.
    if (utf8Display_)
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
    return bytes.substr(0, cut);
}

bool TStringListModel::hasLineBreak(int index) const
{
    return displayBytes(index).find_first_of("\r\n") != std::string_view::npos;
}

QString TStringListModel::displayText(int index) const
{
    const std::string_view bytes = displayBytes(index);
    QString text = utf8Display_ && isValidUtf8(bytes)
                       ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
                       : fromCp1252(bytes);
    if (!hasLineBreak(index))
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
