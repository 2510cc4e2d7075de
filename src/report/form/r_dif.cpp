#include "report/form/r_dif.h"

#include <algorithm>
#include <utility>

#include "analysis/RunPalette.h"
#include "files/OutputFile.h"
#include "report/engine/ERpError.h"
#include "report/engine/TRpPage.h"
#include "report/form/ReportPreparation.h"
#include "report/output/TRpReportPages.h"
#include "report/pdf/TRpPdf.h"
#include "tabulex_version.h"
#include "text/TextCodec.h"

namespace tabulex {

/// The lines the memo prints: stretches of the selected sections one after another, tabs
/// shown as blanks, and Windows-1252 lines converted when the report is drawn in UTF-8. Their
/// stretches carry the theme's styles (by class) and the links: a block-end reference to the
/// line its block began on, a line number of a list to that line, a unit of the uses list to
/// its PDF file. Every line is an anchor; a link to a line the report does not print is none.
class TReportLines : public TLineSource, public TRpMarkedLines {
public:
    struct TPart {
        TSection section = TSection::Listing;
        std::shared_ptr<const TLineSource> source;
        std::size_t first = 0;
        std::size_t count = 0;
        std::size_t start = 0;  ///< index of its first line among all
    };
    /// Style of a class in the listing (class + 1) and of a link in the lists.
    static constexpr std::uint16_t kListLinkStyle = kRunClassCount + 1;

    TReportLines(std::vector<TPart> parts, bool convert, const std::vector<TRpRunStyle>& styles,
                 TF_dif::TUnitFiles unitFiles)
        : parts_(std::move(parts)),
          convert_(convert),
          styles_(styles),
          unitFiles_(std::move(unitFiles))
    {
        for (TPart& part : parts_) {
            part.start = size_;
            size_ += part.count;
        }
    }

    std::size_t size() const override { return size_; }

    std::string_view line(std::size_t index, std::string& scratch) const override
    {
        const TPart& part = partOf(index);
        return shown(part.source->line(part.first + index - part.start, scratch), scratch, nullptr);
    }

    std::string_view marked_line(std::size_t index, std::string& scratch, std::vector<TRpRun>& runs,
                                 bool styled) const override
    {
        const TPart& part = partOf(index);
        const std::string_view text =
            part.source->styled_line(part.first + index - part.start, scratch, classed_, styled);
        runs.clear();
        for (const TStyledRun& run : classed_) {
            TRpRun marked{run.start, run.length};
            if (part.section == TSection::Listing) {
                if (styled && !plain(static_cast<std::uint16_t>(static_cast<int>(run.kind) + 1)))
                    marked.style = static_cast<std::uint16_t>(static_cast<int>(run.kind) + 1);
                if (run.kind == TRunClass::EndReference)
                    marked.anchor = anchorOf(run.line);
            } else if (part.section == TSection::Uses) {
                if (run.kind == TRunClass::Identifier)
                    marked.file = fileOf(text.substr(run.start, run.length));
            } else if (run.kind == TRunClass::LineNumber) {
                marked.anchor = anchorOf(run.line);
            }
            // In the lists only what links is drawn as a link.
            const bool links = marked.file >= 0 || marked.anchor != TRpRun::kNoAnchor;
            if (part.section != TSection::Listing && links && styled && !plain(kListLinkStyle))
                marked.style = kListLinkStyle;
            if (marked.style != 0 || links)
                runs.push_back(marked);
        }
        return shown(text, scratch, &runs);
    }

    const std::string& file(std::int32_t index) const override
    {
        return files_[static_cast<std::size_t>(index)];
    }

    const std::vector<TPart>& parts() const { return parts_; }

    /// The line that shows listing line `line` (1-based), if the report prints it.
    std::size_t anchorOf(long long line) const
    {
        for (const TPart& part : parts_) {
            if (part.section != TSection::Listing)
                continue;
            const long long index = line - 1 - static_cast<long long>(part.first);
            if (index >= 0 && static_cast<std::size_t>(index) < part.count)
                return part.start + static_cast<std::size_t>(index);
        }
        return TRpRun::kNoAnchor;
    }

private:
    const TPart& partOf(std::size_t index) const
    {
        const TPart* part = parts_.data();
        while (index >= part->start + part->count)
            ++part;
        return *part;
    }

    bool plain(std::uint16_t style) const
    {
        const std::size_t at = style - 1u;
        if (at >= styles_.size())
            return true;
        const TRpRunStyle& look = styles_[at];
        return !look.color.isValid() && !look.bold && !look.italic;
    }

    std::int32_t fileOf(std::string_view unit) const
    {
        if (!unitFiles_)
            return -1;
        const std::string path = unitFiles_(unit);
        if (path.empty())
            return -1;
        const auto known = std::find(files_.begin(), files_.end(), path);
        if (known != files_.end())
            return static_cast<std::int32_t>(known - files_.begin());
        files_.push_back(path);
        return static_cast<std::int32_t>(files_.size() - 1);
    }

    // The text as printed: tabs as blanks; Windows-1252 bytes as UTF-8 when converting, the
    // runs' offsets moved with the bytes they stand on.
    std::string_view shown(std::string_view text, std::string& scratch,
                           std::vector<TRpRun>* runs) const
    {
        const bool tabs = text.find('\t') != std::string_view::npos;
        const bool wide = convert_ && std::any_of(text.begin(), text.end(), [](char c) {
                              return static_cast<unsigned char>(c) >= 0x80;
                          });
        if (!tabs && !wide)
            return text;
        std::string line;
        line.reserve(text.size() + (wide ? text.size() / 2 : 0));
        offsets_.clear();
        for (const char c : text) {
            offsets_.push_back(static_cast<std::uint32_t>(line.size()));
            const auto byte = static_cast<unsigned char>(c);
            if (c == '\t')
                line.push_back(' ');
            else if (wide && byte >= 0x80)
                appendUtf8(line, cp1252CodePoint(byte));
            else
                line.push_back(c);
        }
        offsets_.push_back(static_cast<std::uint32_t>(line.size()));
        if (wide && runs != nullptr) {
            for (TRpRun& run : *runs) {
                const std::uint32_t start = offsets_[run.start];
                run.length = offsets_[run.start + run.length] - start;
                run.start = start;
            }
        }
        scratch = std::move(line);
        return scratch;
    }

    std::vector<TPart> parts_;
    bool convert_;
    const std::vector<TRpRunStyle>& styles_;
    TF_dif::TUnitFiles unitFiles_;
    std::size_t size_ = 0;
    mutable std::vector<TStyledRun> classed_;
    mutable std::vector<std::uint32_t> offsets_;
    mutable std::vector<std::string> files_;
};

namespace {

constexpr const char* kSectionTitles[] = {"Listagem", "Variáveis", "Proc/Func", "Uses"};

// The look of each style of TReportLines in a theme.
std::vector<TRpRunStyle> themeStyles(TReportTheme theme)
{
    std::vector<TRpRunStyle> styles(TReportLines::kListLinkStyle);
    const auto at = [&styles](TRunClass kind) -> TRpRunStyle& {
        return styles[static_cast<std::size_t>(kind)];
    };
    switch (theme) {
    case TReportTheme::Nenhum:
        return {};
    case TReportTheme::Cores:
        for (int kind = 0; kind < kRunClassCount; ++kind)
            if (const auto rgb = run_colour(static_cast<TRunClass>(kind), false))
                styles[static_cast<std::size_t>(kind)].color = QColor(QRgb(*rgb));
        styles.back().color = QColor(QRgb(link_colour(false)));
        return styles;
    case TReportTheme::Cinza: {
        const QColor grey(0x70, 0x70, 0x70);
        for (TRunClass kind : {TRunClass::LineNumber, TRunClass::Prefix, TRunClass::EndReference})
            at(kind).color = grey;
        at(TRunClass::Keyword).bold = true;
        at(TRunClass::Comment).italic = true;
        at(TRunClass::Directive).italic = true;
        return styles;
    }
    }
    return {};
}

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
    document_.reset();
}

void TF_dif::setDocument(std::shared_ptr<const TSourceDocument> document)
{
    setSections(document ? document->sections() : TSections{});
    document_ = std::move(document);
}

void TF_dif::setTheme(TReportTheme theme)
{
    if (Report1->Generating()) {
        pendingTheme_ = theme;
        return;
    }
    applyTheme(theme);
}

void TF_dif::applyTheme(TReportTheme theme)
{
    pendingTheme_.reset();
    theme_ = theme;
    runStyles_ = themeStyles(theme);
    RpMemo1->SetRunStyles(runStyles_);
}

void TF_dif::setSelection(std::optional<TSelection> selection)
{
    selection_ = selection;
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
    if (pendingTheme_)
        applyTheme(*pendingTheme_);
}

void TF_dif::Report1BeforePrint(TRpReport* /*Sender*/, bool& PrintReport)
{
    applyPendingChanges();
    const TListingSettings defaults;
    const TListingSettings& settings = settings_ != nullptr ? *settings_ : defaults;
    // A selection prints its part of the listing, and the lists only when asked.
    const bool lists = !selection_ || selection_->withLists;
    const bool switches[4] = {settings.listagem || selection_.has_value(), lists && settings.xref,
                              lists && settings.proc_func, lists && settings.units};
    std::vector<TReportLines::TPart> parts;
    for (std::size_t section = 0; section < sections_.size(); ++section) {
        const std::shared_ptr<const TLineSource>& source = sections_[section];
        if (!switches[section] || !source)
            continue;
        std::size_t from = static_cast<std::size_t>(counters_[section]);
        std::size_t end = source->size();
        if (section == 0 && selection_) {
            end = std::min(end, selection_->end);
            from = std::max(from, selection_->first);
        }
        if (from < end)
            parts.push_back({static_cast<TSection>(section), source, from, end - from});
        counters_[section] = static_cast<int>(std::max(end, from));
    }
    // A second run while the same preview is open (printing it) finds every counter at the
    // end of its section and leaves the memo as it is.
    if (!parts.empty()) {
        lines_ =
            std::make_shared<TReportLines>(std::move(parts), convertLines_, runStyles_, unitFiles_);
        RpMemo1->SetLineSource(lines_);
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
    headerPath_ = path;
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
    const std::unique_ptr<TRpPrinter> pages = GeneratePages(form.report(), {}, true);
    if (!pages)
        throw ERpError("The report produced no pages");
    if (!pages->Save(out))
        throw ERpError(out.message());
}

namespace {

// The routines of the listing for the outline, by their dotted names: "procedure TFoo.Bar"
// is "Bar" under "TFoo" (written out once, leading to its first method), nested names deeper.
void addRoutines(std::vector<TRpPdfOutlineItem>& outline, const TSourceDocument& document,
                 const std::function<std::size_t(long long)>& anchorOf)
{
    const TSourceAnalysis& analysis = document.analysis();
    std::vector<std::string> groups;  // the dotted groups of the entry before
    for (const TRoutine& routine : analysis.routines()) {
        const std::size_t anchor = anchorOf(routine.line);
        if (anchor == TRpRun::kNoAnchor)
            continue;
        // "procedure TFoo.Bar": the keyword, then the name with its dots (blanks dropped).
        const QString text = decodeText(analysis.text(routine.name), analysis.encoding());
        const QStringList words = text.simplified().split(QLatin1Char(' '));
        const QString keyword = words.value(0);
        QString name = words.mid(1).join(QString());
        QStringList parts = name.split(QLatin1Char('.'), Qt::SkipEmptyParts);
        if (parts.isEmpty())
            parts = QStringList{keyword};
        std::vector<std::string> path;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            path.push_back(parts[i].toStdString());
        std::size_t same = 0;
        while (same < path.size() && same < groups.size() && path[same] == groups[same])
            ++same;
        for (std::size_t i = same; i < path.size(); ++i)
            outline.push_back({path[i], static_cast<int>(1 + i), anchor, false});
        groups = std::move(path);
        outline.push_back({(keyword + QLatin1Char(' ') + parts.back()).toStdString(),
                           static_cast<int>(1 + groups.size()), anchor, false});
    }
}

}  // namespace

std::vector<TRpPdfOutlineItem> TF_dif::pdfOutline() const
{
    std::vector<TRpPdfOutlineItem> outline;
    if (!lines_)
        return outline;
    for (const TReportLines::TPart& part : lines_->parts()) {
        if (part.first > 0 && part.section != TSection::Listing)
            continue;  // a section resumed by a later run starts elsewhere
        outline.push_back({kSectionTitles[static_cast<int>(part.section)], 0, part.start,
                           part.section == TSection::Listing});
        if (part.section == TSection::Listing && document_)
            addRoutines(outline, *document_,
                        [this](long long line) { return lines_->anchorOf(line); });
    }
    return outline;
}

std::string TF_dif::pdfSubject() const
{
    QString subject = QStringLiteral("Listagem de ") + headerPath_;
    if (selection_)
        subject += QStringLiteral(", linhas %1 a %2")
                       .arg(selection_->first + 1)
                       .arg(std::max(selection_->first + 1, selection_->end));
    return subject.toStdString();
}

bool write_report_pdf(TF_dif& form, TOutputFile& out, std::function<void()> betweenPages)
{
    TRpPdfDirectOutput pdf(form.report(), out);
    const std::unique_ptr<TRpPrinter> pages =
        GeneratePages(form.report(), pdf.PageFactory(), false, std::move(betweenPages));
    if (!pages)
        throw ERpError("The report produced no pages");
    if (form.report().Cancelled())
        return false;
    pdf.SetOutline(form.pdfOutline());
    pdf.SetInfo({form.pdfSubject(), std::string("Tabulex ") + TABULEX_VERSION});
    if (!pdf.Finish(*pages))
        throw ERpError(out.message());
    return true;
}

namespace {

// Opens `path`, writes into it with `write` and puts it in place when `write` says the file is
// complete; otherwise the old file stays as it was. ERpError on failure.
template <typename Write>
bool write_report_file(const std::string& path, Write write)
{
    TOutputFile out;
    if (!out.open(path))
        throw ERpError(out.message());
    if (!write(out))
        return false;
    if (!out.close())
        throw ERpError(out.message());
    return true;
}

}  // namespace

void write_report_rpf(TF_dif& form, const std::string& path)
{
    write_report_file(path, [&form](TOutputFile& out) {
        write_report_rpf(form, out);
        return true;
    });
}

bool write_report_pdf(TF_dif& form, const std::string& path, std::function<void()> betweenPages)
{
    return write_report_file(path, [&form, &betweenPages](TOutputFile& out) {
        return write_report_pdf(form, out, std::move(betweenPages));
    });
}

}  // namespace tabulex
