#pragma once

#include "wav.h"

// Loops are exactly a whole number of cycles of every tone and modulation in them, and their
// filters run as if the loop repeated, so they play back seamlessly.
Samples chainsawIdle();   // loop, 1 s
Samples chainsawCut();    // loop, 1 s
Samples glassBreak();     // 0.8 s
Samples circleWhoosh();   // loop, 1 s
Samples squareScratch();  // loop, 0.5 s
Samples cannonShot();     // 0.4 s, silent at both ends so repeats stay clean
Samples bigBlast();       // 1.2 s
Samples stampThump();     // 0.25 s
Samples softPop();        // 90 ms, quiet: the sound that ends the others
