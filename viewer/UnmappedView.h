#pragma once

#include <cstdint>

#include "viewer/ViewerTypes.h"

inline constexpr int kUnmappedWidth = 252;   // one column per sector once turned
inline constexpr int kUnmappedHeight = 152;  // one row per ring once turned

// Turns the upright unmapped picture (152 wide, 252 high, bottom-up) a quarter turn so
// that sectors run across and rings down: sector 0 ring 0 lands at the top right.
void TurnUnmapped(const std::uint8_t* pUpright, std::uint8_t* pTurned);

// Where the turned picture goes: centred across the client area and down the part of it
// below the frame top, doubled when zoomed.
ViewerRect UnmappedDestination(const ViewerRect& client, int yImage, bool bZoomed);
