#pragma once
// Which things can take another colour and still look photographed. Made things (a boat, a cup,
// a brush) come in any colour; leaves, grass, water and sky, and skin, fur, wood and sand, have
// the colours they have: a blue hedge, a magenta leaf or a green face reads as paint. The pair
// generator refuses such recolours and `tavrello-pack check` warns of them, by this one rule.

namespace pack {

// What a thing of this colour (HSV hue in degrees, saturation and value 0 to 1, before the
// recolour) looks like when it can't take another: "leaves, water or sky" or "skin, fur, wood or
// sand"; nullptr when a new colour suits it. Bright, strongly coloured things in these hues (a
// green cup, an orange ball) are made things and may change; dark greens and blues are foliage in
// shade and deep water however saturated they measure (a dark colour's saturation runs high).
inline const char* naturalColourOf(float hue, float saturation, float value)
{
    if (hue >= 10.f && hue <= 50.f && saturation < 0.6f)
        return "skin, fur, wood or sand";
    if (hue >= 70.f && hue <= 250.f && (saturation < 0.65f || value < 0.5f))
        return "leaves, water or sky";
    return nullptr;
}

} // namespace pack
