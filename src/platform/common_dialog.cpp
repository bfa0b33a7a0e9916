#include "platform/common_dialog.h"

#include "platform/platform.h"

QStringList nameFiltersFromClassic(const QString& classic) {
    const QStringList parts = classic.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) p = p.trimmed();
        if (patterns.isEmpty()) continue;
        // The dialog reads the patterns from the last parentheses; it hides them on screen.
        filters << desc + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

bool CommonDialog::ShowOpen(QWidget* parent) {
    auto name = platform().dialogs->openFile(parent, {DialogTitle, Filter, FileName, false});
    if (!name) return false;
    FileName = *name;
    return true;
}

bool CommonDialog::ShowSave(QWidget* parent, bool confirmOverwrite) {
    auto name =
        platform().dialogs->saveFile(parent, {DialogTitle, Filter, FileName, confirmOverwrite});
    if (!name) return false;
    FileName = *name;
    return true;
}

bool CommonDialog::ShowColor(QWidget* parent) {
    // The dialog opens on its own default, not on the last colour: nothing is preselected.
    auto colour = platform().dialogs->chooseColor(parent, DialogTitle, QColor());
    if (!colour) return false;
    Color = *colour;
    return true;
}
