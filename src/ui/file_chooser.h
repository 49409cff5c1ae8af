// The folder and file dialogs of the window: Qt's own where the desktop offers
// none, in Chinese and wide enough for their name, size, type and date columns.
#pragma once

#include <QString>

class QWidget;

namespace wa {

// An existing folder below `start`; empty when cancelled.
QString ChooseFolder(QWidget* parent, const QString& title, const QString& start);
// An existing file matching `filter`; empty when cancelled.
QString ChooseFile(QWidget* parent, const QString& title, const QString& start, const QString& filter);

}  // namespace wa
