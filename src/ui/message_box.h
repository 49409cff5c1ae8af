// The window's message boxes: shown without holding up whoever asked.
#pragma once

#include <QString>

class QWidget;

namespace wa {

// Opens a box over `parent` and returns at once; the box deletes itself when
// closed. Its text can be selected and copied, and is never cut: the box is
// as wide as its longest line, up to what a screen shows, past which it wraps.
void OpenMessage(QWidget* parent, const QString& caption, const QString& text, bool warning = false);

}  // namespace wa
