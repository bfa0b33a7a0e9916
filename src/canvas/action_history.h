#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <deque>
#include <vector>

// What each action did to the canvas's picture, so it can be taken back and done again. An
// action keeps only the earlier pixels of what it changed, in tiles of kTile × kTile pixels,
// each kept once however often the action draws over it; undo and redo swap those pixels with
// the picture's, so the same memory serves both ways. The oldest actions go once the kept
// pixels pass the budget; the newest is always kept, even a whole frame larger than it.
class ActionHistory {
  public:
    static constexpr int kTile = 32;
    static constexpr qsizetype kDefaultBudget = qsizetype(64) << 20;

    explicit ActionHistory(qsizetype budgetBytes = kDefaultBudget) : m_budget(budgetBytes) {}

    // An action begins (a press) and ends (its release). Drawing outside of one still counts:
    // each change then is an action of its own.
    void begin();
    void end();
    bool open() const { return m_open; }

    // rect of picture (already clipped to it) is about to change.
    void aboutToChange(const QImage& picture, const QRect& rect);
    // picture is about to be replaced as a whole; the history keeps it as it is (a load).
    void replacingWhole(QImage before);

    // The picture as before the last action, or after the last undone one; what changed,
    // empty when there was nothing to do or an action is still open.
    QRegion undo(QImage& picture);
    QRegion redo(QImage& picture);

    bool canUndo() const { return !m_open && !m_done.empty(); }
    bool canRedo() const { return !m_open && !m_undone.empty(); }
    int doneCount() const { return int(m_done.size()); }
    // Pixels kept, in bytes.
    qsizetype bytes() const { return m_bytes; }
    void clear();

  private:
    struct Piece {
        QPoint at;
        QImage pixels;
    };
    struct Action {
        std::vector<Piece> pieces;
        qsizetype bytes = 0;
    };

    void keep(const QImage& picture, const QRect& rect);
    void addPiece(Piece piece);
    void startAction();
    void keepWithinBudget();
    static QRegion swap(Action& action, QImage& picture);

    qsizetype m_budget;
    qsizetype m_bytes = 0;
    std::deque<Action> m_done;
    std::vector<Action> m_undone;
    bool m_open = false;
    // Whether the newest action is still the one being drawn, and which of its tiles it holds.
    bool m_filling = false;
    QSize m_tileGrid;
    std::vector<bool> m_kept;
};
