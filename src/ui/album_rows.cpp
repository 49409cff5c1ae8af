#include "ui/album_rows.h"

#include <QDateTime>

#include <algorithm>
#include <QPainter>

#include "ui/display_buffer.h"

namespace wa {

void AlbumRowsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant percent = index.data(Qt::UserRole);
    if (index.column() == state_column_ && percent.isValid() && percent.toInt() != -1) {
        PaintBar(painter, option, percent.toInt(), index.data().toString());
    } else {
        QStyledItemDelegate::paint(painter, option, index);
    }
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}

void AlbumRowsDelegate::PaintBar(QPainter* painter, const QStyleOptionViewItem& option, int percent,
                                 const QString& text) const {
    const QRect bar = option.rect.adjusted(3, 3, -3, -3);
    const QColor accent = option.palette.color(QPalette::Highlight);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->setBrush(option.palette.color(QPalette::Base));
    painter->drawRoundedRect(bar, 3, 3);
    QColor fill = accent;
    fill.setAlpha(150);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    if (percent == AlbumRowState::kBusy) {  // a block that sweeps across while the run goes on
        const int width = std::max(12, bar.width() / 4);
        const qint64 phase = QDateTime::currentMSecsSinceEpoch() % 1500;
        const int left = bar.left() + static_cast<int>(phase * (bar.width() + width) / 1500) - width;
        painter->setClipRect(bar);
        painter->drawRoundedRect(QRect(left, bar.top(), width, bar.height()), 3, 3);
    } else {
        painter->drawRoundedRect(QRect(bar.left(), bar.top(), bar.width() * std::clamp(percent, 0, 100) / 100, bar.height()), 3, 3);
    }
    painter->setClipping(false);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(bar, Qt::AlignCenter, option.fontMetrics.elidedText(text, Qt::ElideRight, bar.width()));
    painter->restore();
}

}  // namespace wa
