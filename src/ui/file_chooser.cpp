#include "ui/file_chooser.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace wa {
namespace {

QString Choose(QFileDialog& dialog) {
    dialog.resize(860, 520);
    // In the detail view each column gets room for what it shows.
    for (QTreeView* view : dialog.findChildren<QTreeView*>()) {
        view->header()->setMinimumSectionSize(90);
        view->header()->resizeSection(0, 360);
        view->header()->resizeSection(3, 170);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace

QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) {
    QFileDialog dialog(parent, title, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setViewMode(QFileDialog::Detail);
    return Choose(dialog);
}

QString ChooseFile(QWidget* parent, const QString& title, const QString& start, const QString& filter) {
    QFileDialog dialog(parent, title, start, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    return Choose(dialog);
}

}  // namespace wa
