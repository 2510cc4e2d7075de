#include "report/output/TRpTextMeasurer.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <cmath>

#include "text/TextCodec.h"

namespace tabulex {

QFont rpEngineFont(const QFont& font) {
    QFont copy = font;
    copy.setKerning(false);
    return copy;
}

TRpFontMetrics::TRpFontMetrics(const QFont& font, QPaintDevice* device) {
    const QFont measured = rpEngineFont(font);
    const QFontMetricsF fractional(measured, device);
    const QFontMetrics whole(measured, device);
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const QString text = fromCp1252(std::string_view(&c, 1));
        const double advance = text.isEmpty() ? 0.0 : fractional.horizontalAdvance(text);
        advance64_[byte] = static_cast<std::int32_t>(std::lround(advance * 64.0));
    }
    height_ = whole.height();
    ascent_ = whole.ascent();
}

TRpTextMeasurer::TRpTextMeasurer(int resolution)
    : resolution_(resolution), device_(4, 4, QImage::Format_RGB32) {
    const int dotsPerMeter = static_cast<int>(std::lround(resolution / 0.0254));
    device_.setDotsPerMeterX(dotsPerMeter);
    device_.setDotsPerMeterY(dotsPerMeter);
}

const TRpFontMetrics& TRpTextMeasurer::Metrics(const QFont& font) {
    const QString key = rpEngineFont(font).key();
    auto it = cache_.find(key);
    if (it == cache_.end())
        it = cache_.emplace(key, std::make_unique<TRpFontMetrics>(font, &device_)).first;
    return *it->second;
}

}  // namespace tabulex
