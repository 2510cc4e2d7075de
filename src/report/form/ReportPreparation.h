#pragma once
#include <QString>
#include <functional>
#include <string>

#include "analysis/SourceEncoding.h"

namespace tabulex {

class TF_dif;

/// The title of the report of `path`: "Visão Prévia : " followed by the path, in `encoding`
/// (the path's own bytes are UTF-8, as the file system gives them).
std::string report_title_for(const std::string& path,
                             SourceEncoding encoding = SourceEncoding::Windows1252);

/// The encoding in which the report of a source is laid out and drawn: the source's own, or
/// UTF-8 when the path holds characters that Windows-1252 cannot show.
SourceEncoding report_encoding_for(const QString& path, SourceEncoding source);

/// `text` shortened in the middle with "…" until `fits` accepts it. Characters go from the
/// middle of the folders first, so the file name after the last "/" stays whole; only when
/// "…/" and the name alone do not fit is the name shortened too.
QString shortened_in_middle(const QString& text, const std::function<bool(const QString&)>& fits);

/// Prepares the program's report for the file at `path` (its bytes as the file system gives
/// them) read as `source`, as "Visão Prévia" does before it starts the preview: the report
/// takes the encoding report_encoding_for gives, the memo's lines are cleared, the report
/// title becomes report_title_for(path) and the header label `RpLabel5` shows the path alone,
/// shortened in the middle when it would run into the date.
void prepare_report_for(TF_dif& form, const std::string& path,
                        SourceEncoding source = SourceEncoding::Windows1252);

}  // namespace tabulex
