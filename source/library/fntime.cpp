#include "fntime.h"

std::uint32_t TimeGetStart(const TIME* Time) { return Time->lStart; }
std::uint32_t TimeGetEnd(const TIME* Time) { return Time->lEnd; }
void TimeSetStart(TIME* Time, std::uint32_t Start) { Time->lStart = Start; }
void TimeSetEnd(TIME* Time, std::uint32_t End) { Time->lEnd = End; }
