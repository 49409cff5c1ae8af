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

    // A check has begun: the button says so until its result comes.
    void ShowChecking();
    // The newest published version (empty when the check failed) and what it
    // means for this one.
    void ShowCheckResult(const QString& latest, const QString& result);

signals:
    void checkClicked();

private:
    QLabel* label_name_ = nullptr;            // 标签_程序名
    QLabel* label_home_page_ = nullptr;       // 标签_官网
    QLabel* label_version_result_ = nullptr;  // 标签_banbenjieguo
    QLabel* label_version_ = nullptr;         // 标签_banben
    QLabel* label_latest_version_ = nullptr;  // 标签_zxbanben
    QPushButton* button_check_new_ = nullptr; // 按钮_checknew
};

}  // namespace wa
