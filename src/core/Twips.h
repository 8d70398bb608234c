#pragma once

namespace vandrel {

// 15 twips make one logical pixel; Qt scales logical pixels to the screen.
inline constexpr double kTwipsPerPixel = 15.0;

// Twips in whole logical pixels, rounded to the nearest.
constexpr int Px(int twips) { return (twips + 7) / static_cast<int>(kTwipsPerPixel); }

}  // namespace vandrel
