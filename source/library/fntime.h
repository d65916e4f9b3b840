// TIME: a pair of millisecond marks, used for the main part, intro and beat
// of a track and for the main-part override of a playlist item.
#pragma once

#include <cstdint>

struct TIME {
    std::uint32_t lStart;
    std::uint32_t lEnd;
};

std::uint32_t TimeGetStart(const TIME* Time);
std::uint32_t TimeGetEnd(const TIME* Time);
void TimeSetStart(TIME* Time, std::uint32_t Start);
void TimeSetEnd(TIME* Time, std::uint32_t End);
