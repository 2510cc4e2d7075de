#pragma once
#include <QFont>
#include <QImage>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/SourceEncoding.h"
#include "report/engine/TRpFontMetrics.h"

namespace tabulex {

/// The report's ReferenceSurface: a screen-compatible device at the screen's resolution, on
/// which text items measure their text. Metrics are made once per font.
class TRpTextMeasurer {
public:
    explicit TRpTextMeasurer(int resolution);
    TRpTextMeasurer(const TRpTextMeasurer&) = delete;
    TRpTextMeasurer& operator=(const TRpTextMeasurer&) = delete;

    int Resolution() const { return resolution_; }
    QPaintDevice* Device() { return &device_; }
    /// The encoding of the text measured and drawn from now on (Windows-1252 at first).
    void SetEncoding(SourceEncoding encoding) { encoding_ = encoding; }
    SourceEncoding Encoding() const { return encoding_; }
    /// `text` in the current encoding, decoded for drawing.
    QString Decode(std::string_view text) const;
    /// Metrics of `font` for the current encoding (kerning is never applied, as on the
    /// platform's text extent). Each encoding keeps metrics of its own.
    const TRpFontMetrics& Metrics(const QFont& font);

private:
    int resolution_;
    QImage device_;
    SourceEncoding encoding_ = SourceEncoding::Windows1252;
    std::unordered_map<QString, std::unique_ptr<TRpFontMetrics>> cache_[2];
    /// The fonts asked for last, by encoding: asked again and again while pages are made,
    /// they are found without making the font's key.
    struct Recent {
        QFont font;
        const TRpFontMetrics* metrics;
    };
    std::vector<Recent> recent_[2];
};

}  // namespace tabulex
