#pragma once

#include <cstddef>
#include <deque>
#include <vector>

// Matches injected pointer moves to the screen updates that show them. The program may
// merge moves that arrive together and draw one segment to the newest point, so a move
// counts as handled by the first update at or after it whose rectangle holds its point.
class MoveLatency {
  public:
    struct Rect {
        int x, y, width, height;
    };

    void sent(int x, int y, double atMs);
    void damaged(const Rect& r, double atMs);

    // Milliseconds from each handled move to its update, in sending order.
    const std::vector<double>& latencies() const { return m_latencies; }
    // Moves no update has shown yet.
    size_t pending() const { return m_pending.size(); }

  private:
    struct Move {
        int x, y;
        double atMs;
    };
    std::deque<Move> m_pending;
    std::vector<double> m_latencies;
};
