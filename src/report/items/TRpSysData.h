#pragma once
#include <QDateTime>
#include <string>

#include "analysis/SourceEncoding.h"
#include "report/items/TRpCustomLabel.h"

namespace tabulex {

/// Prints `Text` followed by a value the system supplies at each print (date, time, page
/// number, report title, detail figures).
class TRpSysData : public TRpCustomLabel {
public:
    explicit TRpSysData(std::string name);

    TRpSysDataType Data() const { return data_; }
    void SetData(TRpSysDataType data);
    /// Prefix printed before the value.
    const std::string& Text() const { return text_; }
    void SetText(std::string text);

    /// The value as printed now (Windows-1252 bytes).
    std::string Value() const;
    /// What the design surface shows: `Text`, "(", the data name and ")".
    std::string DesignCaption() const;

    void Print(double offsetX, double offsetY) override;

private:
    std::string valueAt(const QDateTime& now) const;

    TRpSysDataType data_ = TRpSysDataType::rpsTime;
    std::string text_;
    // The clock's last text, and the second, kind and encoding it was made for.
    mutable qint64 clockSecond_ = -1;
    mutable TRpSysDataType clockData_ = TRpSysDataType::rpsTime;
    mutable SourceEncoding clockEncoding_ = SourceEncoding::Windows1252;
    mutable std::string clockText_;
};

}  // namespace tabulex
