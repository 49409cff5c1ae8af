// The settings page: every option control shows what "配置.ini" holds at
// start-up and writes its own key the moment the user changes it. Controls
// are bound to their keys through tables, one row a control.
#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "download/download_options.h"
#include "settings/settings.h"
#include "ui/widget_factory.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QLabel;

namespace wa {

class Pacer;

class SettingsPage : public QWidget {
    Q_OBJECT

public:
    // `pacer`: the pace learned from the service's limits, shown beside
    // 请求间隔 with a button that forgets it.
    SettingsPage(Settings& settings, Pacer& pacer, QWidget* parent);

    // Shows what the settings file holds.
    void Load();
    // The page's frame grows by what the window is taller than its design.
    void LayOut(int extra_height);

    std::string SoundPath() const;

    // Tests replace the file dialog.
    std::function<QString()> choose_sound_file;

signals:
    void optionsChanged();  // any option control changed, by the user or from code
    void showAlbumButtonClicked();
    void stopSoundClicked();

private:
    QGroupBox* BuildCommon(QGroupBox* frame);
    QGroupBox* BuildNaming(QGroupBox* frame);
    QGroupBox* BuildSources(QGroupBox* frame);
    void BuildSoundAndHint(QGroupBox* frame);
    void Bind();
    void OnChooseSound();
    void OnSaveSoundPath();
    void ShowPace();

    Settings& settings_;
    Pacer& pacer_;
    bool loading_ = false;
    QGroupBox* frame_ = nullptr;

    // Controls and the keys they show and write.
    std::vector<std::pair<QCheckBox*, const SwitchKey*>> switches_;
    std::vector<std::pair<QDateTimeEdit*, const DateKey*>> dates_;
    std::vector<std::pair<QSpinBox*, const NumberKey*>> numbers_;
    std::vector<std::pair<QRadioButton*, NameFormat>> naming_;
    std::vector<std::pair<QRadioButton*, SequenceScheme>> sequence_;

    QCheckBox* check_record_ = nullptr;      // 选择框_下载记录
    QCheckBox* check_window_ = nullptr;      // 选择框_时间段
    QDateTimeEdit* date_start_ = nullptr;    // 日期框_开始时间
    QDateTimeEdit* date_end_ = nullptr;      // 日期框_结束时间
    QSpinBox* spin_parallel_ = nullptr;      // 数字框_同时下载数
    QSpinBox* spin_spacing_ = nullptr;       // 数字框_请求间隔
    QLabel* label_pace_ = nullptr;           // 标签_学到的节奏
    QPushButton* button_forget_pace_ = nullptr;  // 按钮_忘记节奏
    QLineEdit* edit_sound_ = nullptr;        // 编辑框_MP3
    QCheckBox* check_show_album_button_ = nullptr;  // 选择框_用户专辑按钮不显示
    QComboBox* combo_album_door_ = nullptr;  // 组合框_相册来源
    QCheckBox* check_live_video_ = nullptr;  // 选择框_实况视频
    QCheckBox* check_write_metadata_ = nullptr;  // 选择框_写入照片信息
    QCheckBox* check_album_index_ = nullptr;     // 选择框_保存相册索引
    QCheckBox* check_new_only_ = nullptr;    // 选择框_只下载新照片
    QCheckBox* check_finish_notice_ = nullptr;  // 选择框_下载完成通知
    QComboBox* combo_file_time_ = nullptr;   // 组合框_文件时间
    QLineEdit* edit_proxy_ = nullptr;        // 编辑框_代理
    QPushButton* button_choose_sound_ = nullptr;  // 按钮_选择MP3
    QPushButton* button_save_sound_ = nullptr;    // 按钮3
    QPushButton* button_stop_sound_ = nullptr;    // 按钮4
};

}  // namespace wa
