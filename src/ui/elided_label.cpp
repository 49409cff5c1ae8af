#include "ui/elided_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace wa {

bool ElidedLabel::Elided() const { return fontMetrics().horizontalAdvance(text()) > contentsRect().width(); }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

bool ElidedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (Elided()) QToolTip::showText(help->globalPos(), text(), this);
        else QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

}  // namespace wa
