#include "ui/file_chooser.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QSplitter>
#include <QTreeView>

namespace wa {
namespace {

// The dialog's list as a Chinese desktop shows it: the type column says
// 文件夹 and 文件, and dates are written the Chinese way; Qt's own words for
// these follow the system's language, which may be English here.
class ChineseFileList : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files) return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == 2) {
            if (files->isDir(source)) return QString::fromUtf8("文件夹");
            const QString suffix = files->fileInfo(source).suffix();
            return suffix.isEmpty() ? QString::fromUtf8("文件") : suffix + QString::fromUtf8(" 文件");
        }
        if (index.column() == 3) return QLocale().toString(files->lastModified(source), "yyyy/M/d HH:mm");
        return QIdentityProxyModel::data(index, role);
    }
};

QString Choose(QFileDialog& dialog) {
    dialog.setProxyModel(new ChineseFileList(&dialog));  // a desktop's own dialog ignores it
    dialog.resize(860, 520);
    for (QSplitter* splitter : dialog.findChildren<QSplitter*>()) splitter->setSizes({170, 690});  // places, files
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
