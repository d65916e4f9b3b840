#include "random.h"

#include <random>

unsigned RndBelow(unsigned n)
{
    static std::mt19937 engine{std::random_device{}()};
    return n > 0 ? std::uniform_int_distribution<unsigned>(0, n - 1)(engine) : 0;
}
