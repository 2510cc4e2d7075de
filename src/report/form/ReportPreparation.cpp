#include "report/form/ReportPreparation.h"

#include <QFile>

#include "report/form/r_dif.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

QString pathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// `text` without `removed` characters taken from the middle of its first `span` characters,
// the gap marked with "…".
QString withoutMiddle(const QString& text, qsizetype span, qsizetype removed)
{
    const qsizetype head = (span - removed + 1) / 2;
    return text.left(head) + QChar(0x2026) + text.mid(head + removed);
}

}  // namespace

std::string report_title_for(const std::string& path, SourceEncoding encoding)
{
    return encodeText(QStringLiteral("Visão Prévia : ") + pathText(path), encoding);
}

SourceEncoding report_encoding_for(const QString& path, SourceEncoding source)
{
    return source == SourceEncoding::Utf8 || !fitsCp1252(path) ? SourceEncoding::Utf8
                                                               : SourceEncoding::Windows1252;
}

QString shortened_in_middle(const QString& text, const std::function<bool(const QString&)>& fits)
{
    if (fits(text))
        return text;
    // The folders end at the last "/", which stays with the name.
    const qsizetype folders = std::max<qsizetype>(0, text.lastIndexOf(QLatin1Char('/')));
    for (qsizetype removed = 1; removed <= folders; ++removed) {
        const QString candidate = withoutMiddle(text, folders, removed);
        if (fits(candidate))
            return candidate;
    }
    for (qsizetype removed = folders + 1; removed < text.size(); ++removed) {
        const QString candidate = withoutMiddle(text, text.size(), removed);
        if (fits(candidate))
            return candidate;
    }
    return QString(QChar(0x2026));
}

void prepare_report_for(TF_dif& form, const std::string& path, SourceEncoding source)
{
    const QString shown = pathText(path);
    form.setTextEncoding(report_encoding_for(shown, source), source);
    form.memo().ClearLines();
    form.report().ReportTitle = report_title_for(path, form.textEncoding());
    form.setHeaderPath(shown);
}

}  // namespace tabulex
