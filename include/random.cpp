#include "random.h"

std::uint16_t RndSeed = 100;

std::uint16_t RndGet()
{
    const bool carry = (RndSeed & 0x8000) != 0;
    std::uint16_t next = static_cast<std::uint16_t>(RndSeed << 1);
    if (carry)
        next ^= 0x2D;
    RndSeed = next;
    return next;
}

void RndInit() { RndSeed = 100; }
