#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

// A dialog object that remembers its last accepted result, so the next showing starts from it
// and a cancel leaves it as it was.
class CommonDialog {
public:
    QString DialogTitle;
    QString Filter;  // "desc|pattern|desc|pattern"
    QString FileName;
    QColor Color = Qt::black;

    // Each returns true when the user accepted; only then is the result updated.
    bool ShowOpen(QWidget* parent);
    bool ShowSave(QWidget* parent, bool confirmOverwrite);
    bool ShowColor(QWidget* parent);
};

// Turns "desc|pattern;pattern|desc|pattern" into name filters a file dialog understands,
// keeping each description as written. Malformed tails (a description without a pattern) are
// dropped rather than guessed at.
QStringList nameFiltersFromClassic(const QString& classic);
