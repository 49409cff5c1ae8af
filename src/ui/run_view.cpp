#include "ui/run_view.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

#include "util/text.h"
#include "weibo/service_request.h"

namespace wa {

void RunButtons::SetButtonsFor(RunState state, bool page_visible) const {
    start->setVisible(state == RunState::kIdle);
    pause->setVisible(state == RunState::kRunning);
    resume->setVisible(state == RunState::kPaused);
    stop->setVisible(state != RunState::kIdle);
    QWidget* safe = state == RunState::kRunning  ? static_cast<QWidget*>(pause)
                    : state == RunState::kPaused ? static_cast<QWidget*>(resume)
                                                 : idle_focus;
    if (page_visible) safe->setFocus(Qt::OtherFocusReason);
}

void AppendToLog(QPlainTextEdit* box, const std::string& text) {
    const QString lines = QString::fromStdString(ShownLogLines(text));  // no control character from the service
    QTextCursor cursor = box->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines);
    box->setTextCursor(cursor);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
}

void CountdownLine::Show(const RunWait& wait) {
    if (wait.seconds_left <= 0) {
        if (before_) label_->setText(*before_);
        before_.reset();
        return;
    }
    if (!before_) before_ = label_->text();
    label_->setText(QString::fromStdString(RunWaitText(wait)));
}

void CountdownLine::SetStatus(const QString& text) {
    before_.reset();
    label_->setText(text);
}

}  // namespace wa
