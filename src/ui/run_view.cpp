#include "ui/run_view.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include "util/text.h"
#include "weibo/service_request.h"

namespace wa {

void AppendToLog(QPlainTextEdit* box, const std::string& text) {
    const QString lines = QString::fromStdString(ShownLogLines(text));  // no control character from the service
    QTextCursor cursor = box->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines);
    box->setTextCursor(cursor);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
}

void CountdownLine::Show(long long seconds_left) {
    if (seconds_left <= 0) {
        if (before_) label_->setText(*before_);
        before_.reset();
        return;
    }
    if (!before_) before_ = label_->text();
    label_->setText(QString::fromStdString(RateLimitWaitText(seconds_left)));
}

void CountdownLine::SetStatus(const QString& text) {
    before_.reset();
    label_->setText(text);
}

}  // namespace wa
