#pragma once

#include <QImage>
#include <QPoint>

// Where the splinter sprite has nothing: pure magenta, which no glass colour comes near.
constexpr QRgb kSplinterKey = 0xffff00ff;

QImage titleCard();          // 303x144, dark, with the program's name in broken glass
QImage glassPicture(int n);  // 1..3: 178x155 cracks on pure white, for AND copies

// A sprite for AND-then-XOR copies: black shape on white, and its colours on black.
struct SpritePair {
    QImage image;
    QImage mask;
};
SpritePair muzzleFlash(int n);  // 1: 14x13, 2: 20x19

QImage crater(int n);      // 1..3: 60x60 on pure white, for AND copies
QImage splinter();         // 17x17 glass shard on kSplinterKey
QImage sizeButton(int n);  // 1..5: 33x33, a white dot growing with n

struct ToolCursor {
    QImage image;  // 32x32 ARGB
    QPoint hotSpot;
};
ToolCursor toolCursor(int n);  // 1..7 in the order of the tool bar

QImage appIcon(int size);  // square, transparent outside the pane
