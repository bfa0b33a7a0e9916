#include "canvas/action_history.h"

#include <algorithm>

void ActionHistory::begin() {
    end();
    m_open = true;
}

void ActionHistory::end() {
    m_open = false;
    m_filling = false;
}

void ActionHistory::clear() {
    end();
    m_done.clear();
    m_undone.clear();
    m_bytes = 0;
}

void ActionHistory::aboutToChange(const QImage& picture, const QRect& rect) {
    if (rect.isEmpty()) return;
    const QSize grid((picture.width() + kTile - 1) / kTile, (picture.height() + kTile - 1) / kTile);
    // A picture that changed size under an action starts another: its tiles lie elsewhere now.
    if (!m_filling || grid != m_tileGrid) {
        startAction();
        m_filling = true;
        m_tileGrid = grid;
        m_kept.assign(size_t(grid.width()) * size_t(grid.height()), false);
    }
    keep(picture, rect);
    if (!m_open) m_filling = false;
    keepWithinBudget();
}

void ActionHistory::keep(const QImage& picture, const QRect& rect) {
    const int right = rect.right() / kTile, bottom = rect.bottom() / kTile;
    for (int row = rect.top() / kTile; row <= bottom; ++row) {
        // Tiles not yet kept that lie side by side are copied as one piece.
        int runStart = -1;
        for (int col = rect.left() / kTile; col <= right + 1; ++col) {
            const size_t at = size_t(row) * size_t(m_tileGrid.width()) + size_t(col);
            const bool fresh = col <= right && !m_kept[at];
            if (fresh) {
                m_kept[at] = true;
                if (runStart < 0) runStart = col;
                continue;
            }
            if (runStart < 0) continue;
            const QRect run = QRect(runStart * kTile, row * kTile, (col - runStart) * kTile, kTile)
                                  .intersected(picture.rect());
            addPiece({run.topLeft(), picture.copy(run)});
            runStart = -1;
        }
    }
}

void ActionHistory::addPiece(Piece piece) {
    const qsizetype size = piece.pixels.sizeInBytes();
    m_done.back().pieces.push_back(std::move(piece));
    m_done.back().bytes += size;
    m_bytes += size;
}

void ActionHistory::replacingWhole(QImage before) {
    const bool wasOpen = m_open;
    end();
    m_filling = true;
    m_tileGrid = QSize();  // the next drawing starts an action of its own
    startAction();
    addPiece({QPoint(0, 0), std::move(before)});
    m_filling = false;
    keepWithinBudget();
    // A press still held goes on as an action after the load.
    if (wasOpen) begin();
}

void ActionHistory::startAction() {
    // A new action drops what could have been done again.
    for (const Action& a : m_undone) m_bytes -= a.bytes;
    m_undone.clear();
    m_done.emplace_back();
}

void ActionHistory::keepWithinBudget() {
    // The oldest go first; the newest stays, however large.
    while (m_bytes > m_budget && m_done.size() > 1) {
        m_bytes -= m_done.front().bytes;
        m_done.pop_front();
    }
}

QRegion ActionHistory::undo(QImage& picture) {
    if (!canUndo()) return {};
    m_undone.push_back(std::move(m_done.back()));
    m_done.pop_back();
    return swap(m_undone.back(), picture);
}

QRegion ActionHistory::redo(QImage& picture) {
    if (!canRedo()) return {};
    m_done.push_back(std::move(m_undone.back()));
    m_undone.pop_back();
    return swap(m_done.back(), picture);
}

QRegion ActionHistory::swap(Action& action, QImage& picture) {
    QRegion changed;
    for (Piece& piece : action.pieces) {
        const QRect kept(piece.at, piece.pixels.size());
        if (kept == picture.rect()) {
            std::swap(picture, piece.pixels);  // a whole frame: no pixel is copied
            changed += kept;
            continue;
        }
        // The picture may have changed size since: only what still lies on it comes back.
        const QRect on = kept.intersected(picture.rect());
        if (on.isEmpty()) continue;
        for (int y = on.top(); y <= on.bottom(); ++y) {
            auto* now = reinterpret_cast<uint32_t*>(picture.scanLine(y)) + on.left();
            auto* was = reinterpret_cast<uint32_t*>(piece.pixels.scanLine(y - kept.top())) +
                        (on.left() - kept.left());
            std::swap_ranges(now, now + on.width(), was);
        }
        changed += on;
    }
    return changed;
}
