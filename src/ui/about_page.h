// The about page: what the program is, its version beside the newest
// published one, its home page and its licence.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace wa {

class AboutPage : public QWidget {
    Q_OBJECT

public:
    explicit AboutPage(QWidget* parent);

    QLabel* label_name = nullptr;            // 标签_程序名
    QLabel* label_home_page = nullptr;       // 标签_官网
    QLabel* label_version_result = nullptr;  // 标签_banbenjieguo
    QLabel* label_version = nullptr;         // 标签_banben
    QLabel* label_latest_version = nullptr;  // 标签_zxbanben
    QPushButton* button_check_new = nullptr; // 按钮_checknew

signals:
    void checkClicked();
};

}  // namespace wa
