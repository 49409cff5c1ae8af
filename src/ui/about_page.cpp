#include "ui/about_page.h"

#include <QLabel>
#include <QPushButton>

#include "shell/globals.h"
#include "ui/widget_factory.h"

namespace wa {

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
    auto* box = Make<QGroupBox>(this, "分组框3", 8, 190, 228, 208, QString::fromUtf8("版本："));
    label_version_result = Make<QLabel>(box, "标签_banbenjieguo", 16, 31, 164, 24);
    Make<QLabel>(box, "标签5", 16, 57, 72, 40, QString::fromUtf8("当前版本："));
    label_version = Make<QLabel>(box, "标签_banben", 86, 57, 95, 40);
    label_version->setText(kVersionText);
    Make<QLabel>(box, "标签_xinbanben", 16, 105, 72, 40, QString::fromUtf8("最新版本："));
    label_latest_version = Make<QLabel>(box, "标签_zxbanben", 87, 105, 93, 40);
    button_check_new = Make<QPushButton>(box, "按钮_checknew", 14, 152, 166, 40, QString::fromUtf8("检测程序是否有更新"));
    connect(button_check_new, &QPushButton::clicked, this, &AboutPage::checkClicked);
}

}  // namespace wa
