// The shuffle's random numbers: one generator, seeded from the platform's
// entropy once per run, for the shuffled play order and the playlist's
// random sort alike.
#pragma once

// A number in 0 .. n - 1, each equally likely, for any n > 0 (0 for n 0).
unsigned RndBelow(unsigned n);
