#pragma once

#include <memory>

class CanvasSurface;

// One tool of the canvas. The canvas decides which tool runs and for which button; a tool only
// draws. Every hook does nothing unless the tool has something to do then.
class Tool {
  public:
    virtual ~Tool() = default;
    virtual void press(CanvasSurface&, double, double) {}
    virtual void move(CanvasSurface&, double, double) {}
    virtual void release(CanvasSurface&, double, double) {}
};

// Tool n, 1 to 7 in palette order; nullptr for any other number.
std::unique_ptr<Tool> makeTool(int n);
