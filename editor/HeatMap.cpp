#include "HeatMap.h"

#include "pack/PairCheck.h"

#include <algorithm>

namespace editor {

QImage heatMap(const QImage& original, const QImage& modified)
{
    if (original.isNull() || modified.isNull() || original.size() != modified.size())
        return {};
    const QRect whole = original.rect();
    const std::vector<float> change = pack::perceptibleChange(original, modified, whole);
    QImage layer(whole.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    for (int y = 0; y < whole.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < whole.width(); ++x) {
            const float deltaE = change[std::size_t(y) * std::size_t(whole.width()) + x];
            // Half the just-visible distance starts to tint; three times it is fully red.
            const double t = std::clamp((deltaE - pack::kJustVisibleDeltaE / 2) /
                                            (pack::kJustVisibleDeltaE * 2.5),
                                        0.0, 1.0);
            if (t <= 0)
                continue;
            const int alpha = int(60 + 150 * t);
            const QColor colour = QColor::fromRgb(255, int(220 * (1 - t)), 0, alpha);
            line[x] = qPremultiply(colour.rgba());
        }
    }
    return layer;
}

} // namespace editor
