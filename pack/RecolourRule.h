#pragma once
// Which things can take another colour and still look photographed. Made things (a boat, a cup,
// a brush) come in any colour; leaves, grass, water and sky, and skin, fur, wood and sand, have
// the colours they have: a blue hedge, a magenta leaf or a green face reads as paint. The pair
// generator refuses such recolours and `tavrello-pack check` warns of them, by this one rule,
// reading a thing's hue the same way.

#include "SeamMeasure.h"

#include <algorithm>
#include <cmath>

namespace pack {

// Circular distance of two hues, degrees.
inline float hueDistance(float a, float b)
{
    const float d = std::fabs(a - b);
    return std::min(d, 360.f - d);
}

// A thing's hue as the circular mean of its pixels' hues weighted by their saturation: reds sit
// on both ends of the hue circle, and a plain mean of 5 and 355 degrees would be cyan.
class HueMean
{
  public:
    void add(double hueDegrees, double saturation)
    {
        const double angle = hueDegrees * kPi / 180.0;
        sx += saturation * std::cos(angle);
        sy += saturation * std::sin(angle);
    }
    // 0 to 360 degrees.
    float degrees() const
    {
        const double d = std::atan2(sy, sx) * 180.0 / kPi;
        return float(d < 0 ? d + 360.0 : d);
    }

  private:
    static constexpr double kPi = 3.14159265358979323846;
    double sx = 0, sy = 0;
};

// What a thing of this colour (HSV hue in degrees, saturation and value 0 to 1, before the
// recolour) looks like when it can't take another: "leaves, water or sky" or "skin, fur, wood or
// sand"; nullptr when a new colour suits it. Bright, strongly coloured things in these hues (a
// green cup, an orange ball) are made things and may change; dark greens and blues are foliage in
// shade and deep water however saturated they measure (a dark colour's saturation runs high).
// Foliage in sunlight turns yellow-green, down to about 50 degrees; dark browns are hair, fur and
// wood in shade.
inline const char* naturalColourOf(float hue, float saturation, float value)
{
    if (hue >= 10.f && hue <= 50.f && (saturation < 0.6f || value < 0.4f))
        return "skin, fur, wood or sand";
    if (hue >= 50.f && hue <= 250.f && (saturation < 0.65f || value < 0.5f))
        return "leaves, water or sky";
    return nullptr;
}

// One pixel's colour as hue in degrees (negative for a grey, which has none), saturation and
// value, 0 to 1.
struct HsvColour
{
    float hue;
    float saturation;
    float value;
};

// Reads a change as a recolour from its changed pixels, each given before and after, and says
// what the thing looks like when it can't take another colour. A recolour turns a thing's hue and
// keeps its light and shade: its changed pixels keep their brightness within kValueShift on
// average, while most of them turn hue by at least kHueTurn. The thing's colour is read from the
// pixels whose hue turned, so the soft rim a recolour blends into leaves it as it was. check and
// the pair generator read a change alike through this.
class RecolourReading
{
  public:
    static constexpr double kValueShift = 0.08;
    static constexpr double kHueTurn = 30.0;

    void add(const HsvColour& before, const HsvColour& after)
    {
        ++m_all;
        m_valueShift += std::fabs(before.value - after.value);
        if (before.hue < 0 || after.hue < 0 || hueDistance(before.hue, after.hue) < kHueTurn)
            return;
        ++m_turned;
        m_hue.add(before.hue, before.saturation);
        m_saturation += before.saturation;
        m_value += before.value;
    }

    // What the recoloured thing looks like (naturalColourOf), or nullptr when the change is no
    // recolour or the thing may take a new colour.
    const char* naturalColour() const
    {
        if (m_all < kNoiseChangedPixels || m_turned * 2 < m_all ||
            m_valueShift / m_all > kValueShift)
            return nullptr;
        return naturalColourOf(m_hue.degrees(), float(m_saturation / m_turned),
                               float(m_value / m_turned));
    }

  private:
    HueMean m_hue;
    double m_saturation = 0, m_value = 0, m_valueShift = 0;
    int m_turned = 0, m_all = 0;
};

} // namespace pack
