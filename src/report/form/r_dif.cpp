#include "report/form/r_dif.h"

#include <algorithm>
#include <utility>

#include "files/OutputFile.h"
#include "report/engine/ERpError.h"
#include "report/engine/TRpPage.h"
#include "report/form/ReportPreparation.h"
#include "report/output/TRpReportPages.h"
#include "report/pdf/TRpPdf.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

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
    RpBand1 = Report1->AddBand("RpBand1", TRpBandType::rbPageHeader);
    RpBand1->SetHeight(22.75);
    RpBand1->Frame.DrawBottom = true;
    const QColor black = Qt::black;
    RpLabel1 = addText<TRpLabel>(
        RpBand1, "RpLabel1",
        {53.71, 6.61, 82.02, 6.09, kCompanyText, TRpAlignment::taCenter, true, 14, true, Qt::blue});
    RpLabel7 = addText<TRpLabel>(
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
    RpSysData2 = addText<TRpSysData>(
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
    RpBand3 = Report1->AddBand("RpBand3", TRpBandType::rbPageFooter);
    RpBand3->SetHeight(7.67);
    RpBand3->Frame.DrawTop = true;
    RpBand3->AlignToBottom = true;
    RpLabel2 = addText<TRpLabel>(RpBand3, "RpLabel2",
                                 {107.95, 0.79, 57.94, 4.50, kFooterText,
                                  TRpAlignment::taRightJustify, true, 6, false, Qt::black});
}

void TF_dif::setLineSources(const StringList* listing, const StringList* xref,
                            const StringList* procs, const StringList* uses)
{
    sources_[0] = listing;
    sources_[1] = xref;
    sources_[2] = procs;
    sources_[3] = uses;
}

void TF_dif::takeLineSources(StringList listing, StringList xref, StringList procs, StringList uses)
{
    owned_ = std::make_unique<StringList[]>(4);
    owned_[0] = std::move(listing);
    owned_[1] = std::move(xref);
    owned_[2] = std::move(procs);
    owned_[3] = std::move(uses);
    setLineSources(&owned_[0], &owned_[1], &owned_[2], &owned_[3]);
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
    std::size_t incoming = 0;
    for (int section = 0; section < 4; ++section)
        if (switches[section] && sources_[section] != nullptr)
            incoming +=
                sources_[section]->size() -
                std::min(sources_[section]->size(), static_cast<std::size_t>(counters_[section]));
    RpMemo1->ReserveLines(incoming);
    for (int section = 0; section < 4; ++section) {
        const StringList* source = sources_[section];
        if (!switches[section] || source == nullptr)
            continue;
        StringList* owned = owned_ ? &owned_[section] : nullptr;
        while (counters_[section] < static_cast<int>(source->size())) {
            const auto index = static_cast<std::size_t>(counters_[section]);
            std::string line = owned != nullptr ? std::move((*owned)[index]) : (*source)[index];
            if (line.find('\t') != std::string::npos)
                std::replace(line.begin(), line.end(), '\t', ' ');
            if (convertLines_)
                line = fromCp1252(line).toStdString();
            RpMemo1->AppendLine(std::move(line));
            ++counters_[section];
        }
    }
    // Handed-over lists now live in the memo; what is left of them is empty strings.
    if (owned_) {
        owned_.reset();
        for (const StringList*& source : sources_)
            source = nullptr;
    }
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

void write_report_rpf(TF_dif& form, TOutputFile& out)
{
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(*form.Report1, {}, true);
    if (!pages)
        throw ERpError("The report produced no pages");
    if (!pages->Save(out))
        throw ERpError(out.message());
}

void write_report_pdf(TF_dif& form, TOutputFile& out)
{
    TRpPdfDirectOutput pdf(*form.Report1, out);
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(*form.Report1, pdf.PageFactory());
    if (!pages)
        throw ERpError("The report produced no pages");
    if (!pdf.Finish(*pages))
        throw ERpError(out.message());
}

namespace {

// Opens `path`, writes into it with `write` and puts it in place; ERpError on failure.
template <typename Write>
void write_report_file(TF_dif& form, const std::string& path, Write write)
{
    TOutputFile out;
    if (!out.open(path))
        throw ERpError(out.message());
    write(form, out);
    if (!out.close())
        throw ERpError(out.message());
}

}  // namespace

void write_report_rpf(TF_dif& form, const std::string& path)
{
    write_report_file(form, path, [](TF_dif& f, TOutputFile& out) { write_report_rpf(f, out); });
}

void write_report_pdf(TF_dif& form, const std::string& path)
{
    write_report_file(form, path, [](TF_dif& f, TOutputFile& out) { write_report_pdf(f, out); });
}

}  // namespace tabulex
