// A label that never cuts a message where its width ends: what does not fit
// ends in "…", and the whole text shows as its tooltip. text() is always the
// whole text.
#pragma once

#include <QLabel>

namespace wa {

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr) : QLabel(parent) {}

    // True when the text does not fit and is shown cut.
    bool Elided() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

}  // namespace wa
