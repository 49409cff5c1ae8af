#include "ui/message_box.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace wa {

void OpenMessage(QWidget* parent, const QString& caption, const QString& text, bool warning) {
    auto* box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information, caption, text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);  // a reason can be copied
    // The text is measured in the font the skin gives it.
    if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
        box->ensurePolished();
        label->ensurePolished();
        const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
        const int room = screen ? screen->availableGeometry().width() * 6 / 10 : 600;
        int widest = 0;
        for (const QString& line : text.split('\n')) widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
        label->setMinimumWidth(std::max(label->minimumWidth(), std::min(room, widest + 8)));
    }
    box->open();
}

}  // namespace wa
