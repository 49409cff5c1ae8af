#include "ui/about_page.h"

#include <QLabel>
#include <QPushButton>

#include "settings/program.h"
#include "ui/elided_label.h"
#include "ui/widget_factory.h"
#include "weibo/weibo_service.h"

namespace wa {

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
    auto* about = Make<QGroupBox>(this, "分组框_关于", 8, 40, 800, 140, QString::fromUtf8("关于："));
    label_name_ = Make<QLabel>(about, "标签_程序名", 16, 24, 600, 28,
                              QString::fromUtf8(kProgramName) + " " + kVersionText);
    QFont bigger = label_name_->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.3);
    bigger.setBold(true);
    label_name_->setFont(bigger);
    Make<QLabel>(about, "标签_简介", 16, 54, 760, 24,
                 QString::fromUtf8("批量下载新浪微博用户的相册：在程序里登录、选择用户、勾选相册，照片按“保存位置/用户/相册”保存。"));
    const QString home = QString::fromStdString(MakerBase(CurrentService()));
    label_home_page_ = Make<QLabel>(about, "标签_官网", 16, 80, 760, 24,
                                   QString::fromUtf8("官网：<a href=\"%1\">%1</a>").arg(home.toHtmlEscaped()));
    label_home_page_->setTextFormat(Qt::RichText);
    label_home_page_->setOpenExternalLinks(true);
    Make<QLabel>(about, "标签_许可", 16, 106, 760, 24,
                 QString::fromUtf8("许可：专有软件，版权所有 © 2026 weibo-albums 开发者。"));

    // Wide enough for a failed check's reason.
    auto* box = Make<QGroupBox>(this, "分组框3", 8, 190, 400, 208, QString::fromUtf8("版本："));
    label_version_result_ = Make<ElidedLabel>(box, "标签_banbenjieguo", 16, 31, 370, 24);
    Make<QLabel>(box, "标签5", 16, 57, 72, 40, QString::fromUtf8("当前版本："));
    label_version_ = Make<QLabel>(box, "标签_banben", 86, 57, 95, 40);
    label_version_->setText(kVersionText);
    Make<QLabel>(box, "标签_xinbanben", 16, 105, 72, 40, QString::fromUtf8("最新版本："));
    label_latest_version_ = Make<QLabel>(box, "标签_zxbanben", 87, 105, 93, 40);
    button_check_new_ = Make<QPushButton>(box, "按钮_checknew", 14, 152, 166, 40, QString::fromUtf8("检测程序是否有更新"));
    connect(button_check_new_, &QPushButton::clicked, this, &AboutPage::checkClicked);
}

void AboutPage::ShowChecking() {
    button_check_new_->setEnabled(false);
    button_check_new_->setText(QString::fromUtf8("正在检查更新…"));
    label_version_result_->clear();
}

void AboutPage::ShowCheckResult(const QString& latest, const QString& result) {
    label_latest_version_->setText(latest);
    label_version_result_->setText(result);
    button_check_new_->setEnabled(true);
    button_check_new_->setText(QString::fromUtf8("检测程序是否有更新"));
}

}  // namespace wa
