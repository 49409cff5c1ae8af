// The settings page: every option control shows what "配置.ini" holds at
// start-up and writes its own key the moment the user changes it.
#pragma once

#include <QWidget>

#include <functional>
#include <string>

#include "download/picture_naming.h"
#include "ui/widget_factory.h"
#include "shell/saved_options.h"
#include "util/date_time.h"
#include "weibo/album_list.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace wa {

class SettingsPage : public QWidget {
    Q_OBJECT

public:
    SettingsPage(std::string config_path, SettingWriter save, QWidget* parent);

    // Shows what the settings file holds.
    void Load();
    // The page's frame grows by what the window is taller than its design.
    void LayOut(int extra_height);

    // Every option as the controls show it; the save folder is the album
    // page's and stays empty here.
    SavedOptions Options() const;
    NameFormat CheckedNameFormat() const;
    SequenceScheme CheckedSequenceScheme() const;
    AlbumDoor CheckedAlbumDoor() const;
    DateTime WindowStart() const;
    DateTime WindowEnd() const;

    QCheckBox* check_record = nullptr;      // 选择框_下载记录
    QCheckBox* check_window = nullptr;      // 选择框_时间段
    QDateTimeEdit* date_start = nullptr;    // 日期框_开始时间
    QDateTimeEdit* date_end = nullptr;      // 日期框_结束时间
    QSpinBox* spin_parallel = nullptr;      // 数字框_同时下载数
    QRadioButton* radio_number_text = nullptr;  // 单选框_序号加内容
    QRadioButton* radio_text_number = nullptr;  // 单选框_内容加序号
    QRadioButton* radio_text = nullptr;         // 单选框_内容
    QRadioButton* radio_text_date = nullptr;    // 单选框_内容加日期
    QRadioButton* radio_date_text = nullptr;    // 单选框_日期加内容
    QRadioButton* radio_sequence_default = nullptr;  // 单选框_默认序号
    QRadioButton* radio_sequence_cycle = nullptr;    // 单选框_循环序号
    QLineEdit* edit_sound = nullptr;        // 编辑框_MP3
    QPushButton* button_choose_sound = nullptr;  // 按钮_选择MP3
    QPushButton* button_save_sound = nullptr;    // 按钮3
    QPushButton* button_stop_sound = nullptr;    // 按钮4
    QCheckBox* check_show_album_button = nullptr;  // 选择框_用户专辑按钮不显示
    QComboBox* combo_album_door = nullptr;  // 组合框_相册来源
    QCheckBox* check_live_video = nullptr;  // 选择框_实况视频
    QCheckBox* check_new_only = nullptr;    // 选择框_只下载新照片
    QComboBox* combo_file_time = nullptr;   // 组合框_文件时间
    QLineEdit* edit_proxy = nullptr;        // 编辑框_代理

    // Tests replace the file dialog.
    std::function<QString()> choose_sound_file;

signals:
    void optionsChanged();  // any option control changed, by the user or from code
    void showAlbumButtonClicked();
    void stopSoundClicked();

private:
    void WriteSwitch(std::string_view key, bool on);
    void OnChooseSound();
    void OnSaveSoundPath();

    std::string config_path_;
    SettingWriter save_;
    QGroupBox* frame_ = nullptr;
};

}  // namespace wa
