#include "report/form/r_dif.h"

#include <algorithm>
#include <utility>

#include "report/engine/ERpError.h"
#include "report/engine/TRpPage.h"
#include "report/form/ReportPreparation.h"
#include "report/output/TRpReportPages.h"
#include "report/pdf/TRpPdf.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

/// The lines the memo prints: stretches of the selected sections one after another, tabs
/// shown as blanks, and Windows-1252 lines converted when the report is drawn in UTF-8.
class TReportLines : public TLineSource {
public:
    struct TPart {
        std::shared_ptr<const TLineSource> source;
        std::size_t first = 0;
        std::size_t count = 0;
    };

    TReportLines(std::vector<TPart> parts, bool convert)
        : parts_(std::move(parts)), convert_(convert)
    {
        for (const TPart& part : parts_)
            size_ += part.count;
    }

    std::size_t size() const override { return size_; }

    std::string_view line(std::size_t index, std::string& scratch) const override
    {
        const TPart* part = parts_.data();
        while (index >= part->count) {
            index -= part->count;
            ++part;
        }
        const std::string_view text = part->source->line(part->first + index, scratch);
        const bool tabs = text.find('\t') != std::string_view::npos;
        if (!tabs && !convert_)
            return text;
        std::string line(text);
        if (tabs)
            std::replace(line.begin(), line.end(), '\t', ' ');
        scratch = convert_ ? fromCp1252(line).toStdString() : std::move(line);
        return scratch;
    }

private:
    std::vector<TPart> parts_;
    bool convert_;
    std::size_t size_ = 0;
};

// Footer line: author, release date and mail address.
constexpr const char* kFooterText =
    "Vorn Tabulan - Vorn Soft - vers\xE3o de 15/03/2024 - contato@vornsoft.example";
constexpr const char* kCompanyText = "Vorn Soft Servi\xE7os de Inform\xE1tica";
constexpr const char* kPageText = "P\xE1gina:";

QFont arial(int points, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

struct LabelSpec {
    double left, top, width, height;
    const char* caption;
    TRpAlignment alignment;
    bool autoSize;
    int points;
    bool bold;
    QColor color;
};

template <class T>
T* addText(TRpBand* band, const char* name, const LabelSpec& layout)
{
    T* item = band->AddItem(std::make_unique<T>(name));
    item->SetBounds(layout.left, layout.top, layout.width, layout.height);
    item->SetAlignment(layout.alignment);
    item->SetAutoSize(layout.autoSize);
    item->SetWordWrap(true);
    item->FontColor = layout.color;
    item->SetFont(arial(layout.points, layout.bold));
    item->SetFontSize(layout.points);
    if (layout.caption != nullptr)
        item->SetCaption(layout.caption);
    return item;
}

}  // namespace

TF_dif::TF_dif(QObject* parent) : QObject(parent), Report1(std::make_unique<TRpReport>())
{
    buildReport();
}

TF_dif::~TF_dif() = default;

void TF_dif::buildReport()
{
    TRpReport& report = *Report1;
    report.SetUnits(TRpUnit::MM);
    report.Page().SetPaperSize(TRpPaperSize::A4);
    report.Page().SetOrientation(TRpOrientation::poPortrait);
    report.Page().SetValues({100.0, 2970.0, 100.0, 2100.0, 100.0, 100.0, 30.0});
    report.Page().SetColumns(2);
    report.Options = FirstPageHeader | LastPageFooter;
    report.SetPrintIfEmpty(true);
    report.Font = arial(10);
    report.PrinterSettings.Copies = 1;
    report.PrinterSettings.Duplex = true;
    report.PrinterSettings.FirstPage = 0;
    report.PrinterSettings.LastPage = 0;
    report.PrinterSettings.OutputBin = TRpBin::Auto;
    report.BeforePrint = [this](TRpCustomReport* sender, bool& printReport) {
        Report1BeforePrint(static_cast<TRpReport*>(sender), printReport);
    };
    report.AfterPreview = [this](TRpCustomReport* sender) {
        Report1AfterPreview(static_cast<TRpReport*>(sender));
    };
    buildHeader();
    buildDetail();
    buildFooter();
}

void TF_dif::buildHeader()
{
    TRpBand* RpBand1 = Report1->AddBand("RpBand1", TRpBandType::rbPageHeader);
    RpBand1->SetHeight(22.75);
    RpBand1->Frame.DrawBottom = true;
    const QColor black = Qt::black;
    RpLabel1 = addText<TRpLabel>(
        RpBand1, "RpLabel1",
        {53.71, 6.61, 82.02, 6.09, kCompanyText, TRpAlignment::taCenter, true, 14, true, Qt::blue});
    addText<TRpLabel>(
        RpBand1, "RpLabel7",
        {1.85, 17.20, 11.64, 3.97, "Arquivo", TRpAlignment::taLeftJustify, true, 8, true, black});
    RpLabel5 =
        addText<TRpLabel>(RpBand1, "RpLabel5",
                          {15.35, 17.20, 15.61, 3.97, "Anterior = ", TRpAlignment::taLeftJustify,
                           true, 8, true, black});
    RpSysData1 = addText<TRpSysData>(
        RpBand1, "RpSysData1",
        {139.44, 17.99, 26.46, 3.97, nullptr, TRpAlignment::taLeftJustify, true, 8, true, black});
    RpSysData1->SetData(TRpSysDataType::rpsDateTime);
    RpLabel6 = addText<TRpLabel>(RpBand1, "RpLabel6",
                                 {169.33, 17.99, 10.85, 3.97, kPageText,
                                  TRpAlignment::taLeftJustify, false, 8, true, black});
    auto* RpSysData2 = addText<TRpSysData>(
        RpBand1, "RpSysData2",
        {179.92, 17.99, 8.73, 3.97, nullptr, TRpAlignment::taRightJustify, false, 8, true, black});
    RpSysData2->SetData(TRpSysDataType::rpsPageNumber);
}

void TF_dif::buildDetail()
{
    RpBand2 = Report1->AddBand("RpBand2", TRpBandType::rbDetail);
    RpBand2->SetHeight(3.70);
    RpBand2->Frame.DrawRight = true;
    RpBand2->AlignToBottom = true;
    RpMemo1 = RpBand2->AddItem(std::make_unique<TRpMemo>("RpMemo1"));
    RpMemo1->SetBounds(0, 0, 91.81, 3.44);
    RpMemo1->SetAlignment(TRpAlignment::taLeftJustify);
    RpMemo1->SetAlignToBand(true);
    RpMemo1->SetAutoSize(false);
    RpMemo1->AutoStretch = true;
    RpMemo1->SetWordWrap(true);
    RpMemo1->SetFont(arial(7));
    RpMemo1->SetFontSize(7);
    RpMemo1->SetLines({"linha1", "linha2", "linha3", "linha4", "linha5"});
}

void TF_dif::buildFooter()
{
    TRpBand* RpBand3 = Report1->AddBand("RpBand3", TRpBandType::rbPageFooter);
    RpBand3->SetHeight(7.67);
    RpBand3->Frame.DrawTop = true;
    RpBand3->AlignToBottom = true;
    RpLabel2 = addText<TRpLabel>(RpBand3, "RpLabel2",
                                 {107.95, 0.79, 57.94, 4.50, kFooterText,
                                  TRpAlignment::taRightJustify, true, 6, false, Qt::black});
}

void TF_dif::setSections(TSections sections)
{
    sections_ = std::move(sections);
}

void TF_dif::setSettings(const TListingSettings* settings)
{
    settings_ = settings;
}

void TF_dif::set_colunas(int columns)
{
    // A run in progress keeps its layout: the change waits for the run to end.
    if (Report1->Generating()) {
        pendingColumns_ = columns;
        return;
    }
    applyColumns(columns);
}

void TF_dif::applyColumns(int columns)
{
    pendingColumns_.reset();
    Report1->Page().SetColumns(columns);
    RpMemo1->SetPixelWidth(RpBand2->Size().PixelWidth() - 5);
}

void TF_dif::applyPendingChanges()
{
    if (pendingColumns_)
        applyColumns(*pendingColumns_);
    if (pendingFont_)
        applyMemoFont(*std::exchange(pendingFont_, std::nullopt));
}

void TF_dif::Report1BeforePrint(TRpReport* /*Sender*/, bool& PrintReport)
{
    applyPendingChanges();
    const TListingSettings defaults;
    const TListingSettings& settings = settings_ != nullptr ? *settings_ : defaults;
    const bool switches[4] = {settings.listagem, settings.xref, settings.proc_func, settings.units};
    std::vector<TReportLines::TPart> parts;
    for (std::size_t section = 0; section < sections_.size(); ++section) {
        const std::shared_ptr<const TLineSource>& source = sections_[section];
        if (!switches[section] || !source)
            continue;
        const auto from = static_cast<std::size_t>(counters_[section]);
        if (from < source->size())
            parts.push_back({source, from, source->size() - from});
        counters_[section] = static_cast<int>(source->size());
    }
    // A second run while the same preview is open (printing it) finds every counter at the
    // end of its section and leaves the memo as it is.
    if (!parts.empty())
        RpMemo1->SetLineSource(std::make_shared<TReportLines>(std::move(parts), convertLines_));
    PrintReport = true;
}

void TF_dif::setMemoFont(const QFont& font)
{
    if (Report1->Generating()) {
        pendingFont_ = font;
        return;
    }
    applyMemoFont(font);
}

void TF_dif::applyMemoFont(const QFont& font)
{
    RpMemo1->SetFont(font);
    if (font.pointSizeF() > 0)
        RpMemo1->SetFontSize(font.pointSizeF());
}

void TF_dif::setTextEncoding(SourceEncoding encoding, SourceEncoding source)
{
    Report1->ReferenceSurface().SetEncoding(encoding);
    // The form's own captions are written in Windows-1252; a UTF-8 report shows them in UTF-8.
    const std::pair<TRpLabel*, const char*> captions[] = {
        {RpLabel1, kCompanyText}, {RpLabel6, kPageText}, {RpLabel2, kFooterText}};
    for (const auto& [label, text] : captions)
        label->SetCaption(encodeText(fromCp1252(text), encoding));
    convertLines_ = encoding == SourceEncoding::Utf8 && source == SourceEncoding::Windows1252;
}

void TF_dif::setHeaderPath(const QString& path)
{
    // The label grows to the right from its left edge; it must end a little before the date.
    constexpr int kGapPixels = 6;
    const int room = RpSysData1->PixelLeft() - RpLabel5->PixelLeft() - kGapPixels;
    const SourceEncoding encoding = textEncoding();
    const QString shown = shortened_in_middle(path, [&](const QString& candidate) {
        return RpLabel5->TextWidthOf(encodeText(candidate, encoding)) <= room;
    });
    RpLabel5->SetCaption(encodeText(shown, encoding));
}

void TF_dif::Report1AfterPreview(TRpReport* /*Sender*/)
{
    if (!Report1->Generating())
        applyPendingChanges();
    for (int& counter : counters_)
        counter = 0;
}

void write_report_rpf(TF_dif& form, const std::string& path)
{
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(form.report(), {}, true);
    if (!pages)
        throw ERpError("The report produced no pages");
    if (!pages->Save(path))
        throw ERpError("Cannot write the file " + path);
}

void write_report_pdf(TF_dif& form, const std::string& path)
{
    TRpPdfDirectOutput pdf(form.report(), path);
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(form.report(), pdf.PageFactory());
    if (!pages)
        throw ERpError("The report produced no pages");
    if (!pdf.Finish(*pages))
        throw ERpError("Cannot write the file " + path);
}

}  // namespace tabulex
