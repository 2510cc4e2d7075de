#pragma once
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/LineSource.h"
#include "report/engine/TRpEvEnvironment.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpReport.h"
#include "report/engine/TRpTextMeasurer.h"
#include "report/items/TRpMemo.h"
#include "report/items/TRpSysData.h"
#include "report/output/TRpPrinter.h"
#include "report/output/TRpRecordingSurface.h"

namespace tabulex::test {

/// The lines of a list the test keeps and may still change: read when the report runs.
class TBorrowedLines : public TLineSource {
public:
    explicit TBorrowedLines(const std::vector<std::string>& lines) : lines_(lines) {}
    std::size_t size() const override { return lines_.size(); }
    std::string_view line(std::size_t index, std::string&) const override { return lines_[index]; }

private:
    const std::vector<std::string>& lines_;
};

inline std::shared_ptr<const TLineSource> borrowed(const std::vector<std::string>& lines)
{
    return std::make_shared<TBorrowedLines>(lines);
}

/// The item named `name` on a band of `report`, as T. A missing one ends the test with a
/// failure that names it.
template <class T>
T& item(const TRpCustomReport& report, const std::string& name)
{
    for (const auto& band : report.Bands())
        for (const auto& printable : band->Items())
            if (auto* found = dynamic_cast<T*>(printable.get()); found && found->Name() == name)
                return *found;
    throw std::logic_error("no report item named " + name);
}

/// Makes sure a QGuiApplication exists and the screen resolution is 96 dpi.
void ensureGui();

/// A report run onto recording surfaces.
struct RecordedRun {
    std::unique_ptr<TRpPrinter> output;
    std::vector<const TRpRecordingSurface*> pages;
};

RecordedRun runRecorded(TRpReport& report);

/// Text calls of a page, in order.
std::vector<TRpRecordingSurface::Call> textCalls(const TRpRecordingSurface& page);

/// A report like the program's: A4, 10 mm margins, 3 mm column space, `columns` columns,
/// a page header of `headerPx` pixels, a detail band of `detailPx` pixels holding one
/// stretching memo in Arial 7 and a page footer of `footerPx` pixels.
struct SampleReport {
    std::unique_ptr<TRpReport> report;
    TRpBand* header = nullptr;
    TRpBand* detail = nullptr;
    TRpBand* footer = nullptr;
    TRpMemo* memo = nullptr;
    TRpSysData* pageNumber = nullptr;
};
SampleReport makeSample(int columns, int headerPx = 86, int detailPx = 14, int footerPx = 29);

/// "line 1", "line 2", ...
std::vector<std::string> numberedLines(int count);

}  // namespace tabulex::test
