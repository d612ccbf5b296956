#pragma once
// The spacing steps, in dp, that pages and shell parts put between and around
// their pieces. A gap or padding takes one of these rather than a number of
// its own, so steps that mean the same stay the same.

namespace qm {

inline constexpr double kSpaceTight = 4;
inline constexpr double kSpaceSmall = 6;
inline constexpr double kSpaceBase = 8;
inline constexpr double kSpaceRoomy = 10;
inline constexpr double kSpaceLarge = 12;
inline constexpr double kSpaceSection = 16;

}  // namespace qm
