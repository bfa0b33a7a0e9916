#pragma once

#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <vector>

#include "rng.h"

class QPainter;

// A crack is a polyline that thins from its first point towards its last.
struct Crack {
    QPolygonF points;
    double width = 1.0;
};

struct CrackParams {
    QPointF origin;
    QRectF bounds;               // no crack point leaves this rectangle
    std::vector<double> angles;  // one ray per angle, ascending, in radians
    double reach = 100;          // length of the longest ray
    double rayWidth = 1.6;
    double wobble = 0.2;        // how far (radians) a ray may wander off its angle
    std::vector<double> rings;  // radii at which neighbouring rays get joined, like a web
    double ringChance = 0.7;
    double branchChance = 0.08;  // per step along a ray
};

// `count` angles around the full circle, each moved by up to `jitter` of the even spacing.
std::vector<double> spreadAngles(int count, double jitter, Rng& rng);

std::vector<Crack> makeCracks(const CrackParams& params, Rng& rng);

// Draws each crack segment by segment, fading from `root` to `tip` as it thins.
void paintCracks(QPainter& painter, const std::vector<Crack>& cracks, const QColor& root,
                 const QColor& tip);
