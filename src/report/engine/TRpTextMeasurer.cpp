#include "report/engine/TRpTextMeasurer.h"

#include <cmath>

#include "text/TextCodec.h"

namespace tabulex {

QString TRpTextMeasurer::Decode(std::string_view text) const
{
    return decodeText(text, encoding_);
}

TRpTextMeasurer::TRpTextMeasurer(int resolution)
    : resolution_(resolution), device_(4, 4, QImage::Format_RGB32)
{
    const int dotsPerMeter = static_cast<int>(std::lround(resolution / 0.0254));
    device_.setDotsPerMeterX(dotsPerMeter);
    device_.setDotsPerMeterY(dotsPerMeter);
}

const TRpFontMetrics& TRpTextMeasurer::Metrics(const QFont& font)
{
    const int slot = encoding_ == SourceEncoding::Utf8 ? 1 : 0;
    std::vector<Recent>& recent = recent_[slot];
    for (const Recent& entry : recent)
        if (entry.font == font)
            return *entry.metrics;
    const QString key = rpEngineFont(font).key();
    auto& cache = cache_[slot];
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, std::make_unique<TRpFontMetrics>(font, &device_, encoding_)).first;
    constexpr std::size_t kRecent = 8;
    if (recent.size() == kRecent)
        recent.erase(recent.begin());
    recent.push_back({font, it->second.get()});
    return *it->second;
}

}  // namespace tabulex
