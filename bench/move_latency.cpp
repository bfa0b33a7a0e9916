#include "move_latency.h"

#include <algorithm>

void MoveLatency::sent(int x, int y, double atMs) {
    m_pending.push_back({x, y, atMs});
}

void MoveLatency::damaged(const Rect& r, double atMs) {
    // Anything earlier than a shown move was passed over by the same segment or an older
    // one, so a hit also settles the moves before it; misses stay pending.
    auto inside = [&](const Move& m) {
        return m.atMs <= atMs && m.x >= r.x && m.x < r.x + r.width && m.y >= r.y &&
               m.y < r.y + r.height;
    };
    const auto last = std::find_if(m_pending.rbegin(), m_pending.rend(), inside);
    if (last == m_pending.rend()) return;
    const size_t settled = size_t(m_pending.rend() - last);
    for (size_t i = 0; i < settled; ++i) m_latencies.push_back(atMs - m_pending[i].atMs);
    m_pending.erase(m_pending.begin(), m_pending.begin() + long(settled));
}
