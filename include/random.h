// The shuffle's random generator: a 16-bit shift register with the feedback
// polynomial x^16 + x^5 + x^3 + x^2 + 1. From any non-zero seed it runs
// through all 65535 non-zero values; a zero seed stays zero.
#pragma once

#include <cstdint>

extern std::uint16_t RndSeed;

std::uint16_t RndGet();
void RndInit();
