#include "ui/page_keys.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include <utility>

namespace wa {

void AddPageStepKeys(QWidget* window, std::function<void(int step)> step) {
    QList<QKeySequence> next = QKeySequence::keyBindings(QKeySequence::NextChild);
    next << QKeySequence(Qt::CTRL | Qt::Key_Tab) << QKeySequence(Qt::CTRL | Qt::Key_PageDown);
    // Ctrl+Shift+Tab however the keyboard sends it, as Tab or as Backtab.
    QList<QKeySequence> previous = QKeySequence::keyBindings(QKeySequence::PreviousChild);
    previous << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab) << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)
             << QKeySequence(Qt::CTRL | Qt::Key_PageUp);
    for (const auto& [keys, by] : {std::pair{next, 1}, std::pair{previous, -1}}) {
        QList<QKeySequence> once;  // a key twice would make the shortcut ambiguous
        for (const QKeySequence& key : keys) {
            if (!once.contains(key)) once << key;
        }
        auto* shortcut = new QShortcut(window);
        shortcut->setKeys(once);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, [step, by = by] { step(by); });
    }
}

}  // namespace wa
