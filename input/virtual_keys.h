// The virtual keys the monitor sends or watches, as Windows numbers them (checked in windows/).
#pragma once
#include <cstdint>

inline constexpr std::uint16_t kVkBack = 8;
inline constexpr std::uint16_t kVkTab = 9;
inline constexpr std::uint16_t kVkReturn = 13;
inline constexpr std::uint16_t kVkShift = 16;
inline constexpr std::uint16_t kVkControl = 17;
inline constexpr std::uint16_t kVkMenu = 18; // Alt
inline constexpr std::uint16_t kVkEscape = 27;
inline constexpr std::uint16_t kVkV = 86;
inline constexpr std::uint16_t kVkLeftWindows = 91;
inline constexpr std::uint16_t kVkRightWindows = 92;
