// How the album list draws its cells: grid lines between them, and in the
// state column each album's place in the run as a bar under its words (a
// moving one while nobody can tell how far the album is).
#pragma once

#include <QStyledItemDelegate>

namespace wa {

class AlbumRowsDelegate : public QStyledItemDelegate {
public:
    // `state_column` holds the run's state; its cells keep their bar's
    // percent (or AlbumRowState::kBusy) under Qt::UserRole.
    AlbumRowsDelegate(int state_column, QObject* parent) : QStyledItemDelegate(parent), state_column_(state_column) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void PaintBar(QPainter* painter, const QStyleOptionViewItem& option, int percent, const QString& text) const;

    int state_column_;
};

}  // namespace wa
