#include "report/items/TRpSysData.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <utility>

#include "report/engine/TRpCustomReport.h"
#include "report/engine/TRpReport.h"
#include "report/engine/TRpTextMeasurer.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

constexpr const char* kDataNames[] = {"Time",         "Date",         "Date/Time", "Page#",
                                      "Report title", "Detail count", "Detail no"};

}  // namespace

TRpSysData::TRpSysData(std::string name) : TRpCustomLabel(std::move(name))
{
    SetCaption(DesignCaption());
}

void TRpSysData::SetData(TRpSysDataType data)
{
    data_ = data;
    if (!printing())
        SetCaption(DesignCaption());
}

void TRpSysData::SetText(std::string text)
{
    text_ = std::move(text);
    if (!printing())
        SetCaption(DesignCaption());
}

std::string TRpSysData::DesignCaption() const
{
    return text_ + "(" + kDataNames[static_cast<int>(data_)] + ")";
}

namespace {
// The locale's long time format without its time-zone field: a zone name ("UTC", "BRT") makes
// the header's date and time run into the label beside it.
QString longTimeWithoutZone(const QLocale& locale, const QTime& time)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(zone);
    return locale.toString(time, format.trimmed());
}
}  // namespace

std::string TRpSysData::Value() const
{
    const bool clock = data_ == TRpSysDataType::rpsTime || data_ == TRpSysDataType::rpsDate ||
                       data_ == TRpSysDataType::rpsDateTime;
    if (!clock)
        return valueAt(QDateTime());
    const SourceEncoding shownIn =
        Report() != nullptr ? Report()->ReferenceSurface().Encoding() : SourceEncoding::Windows1252;
    // The clock's text changes once a second at most: every page of that second shares it.
    // The second comes from the system clock as it is; the local time (which reads the time
    // zone) is only worked out when the text is made again.
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = msecs / 1000;
    if (clockSecond_ == second && clockData_ == data_ && clockEncoding_ == shownIn)
        return clockText_;
    std::string value = valueAt(QDateTime::fromMSecsSinceEpoch(msecs));
    clockSecond_ = second;
    clockData_ = data_;
    clockEncoding_ = shownIn;
    clockText_ = value;
    return value;
}

std::string TRpSysData::valueAt(const QDateTime& now) const
{
    const QLocale locale = QLocale::system();
    const auto* report = dynamic_cast<const TRpReport*>(Report());
    const SourceEncoding encoding =
        Report() != nullptr ? Report()->ReferenceSurface().Encoding() : SourceEncoding::Windows1252;
    const auto encode = [encoding](const QString& text) { return encodeText(text, encoding); };
    switch (data_) {
    case TRpSysDataType::rpsTime:
        return encode(locale.toString(now.time(), QLocale::ShortFormat));
    case TRpSysDataType::rpsDate:
        return encode(locale.toString(now.date(), QLocale::ShortFormat));
    case TRpSysDataType::rpsDateTime:
        return encode(locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                      longTimeWithoutZone(locale, now.time()));
    case TRpSysDataType::rpsPageNumber:
        return Report() == nullptr ? std::string("0") : std::to_string(Report()->PageCount());
    case TRpSysDataType::rpsReportTitle:
        return Report() == nullptr ? std::string() : Report()->ReportTitle;
    case TRpSysDataType::rpsDetailCount:
        return report == nullptr ? std::string() : "1";
    case TRpSysDataType::rpsDetailNo:
        return report == nullptr ? std::string() : std::to_string(report->Controller().DetailCount);
    }
    return {};
}

void TRpSysData::Print(double offsetX, double offsetY)
{
    SetCaption(text_ + Value());
    TRpCustomLabel::Print(offsetX, offsetY);
}

}  // namespace tabulex
