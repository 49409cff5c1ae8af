#include "ui/settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "shell/saved_options.h"
#include "ui/file_chooser.h"
#include "ui/qt_dates.h"
#include "util/ini_file.h"
#include "net/curl_transfer.h"

namespace wa {
namespace {

constexpr int kFrameHeight = 553;

}  // namespace

void SettingsPage::LayOut(int extra_height) { frame_->resize(frame_->width(), kFrameHeight + extra_height); }

SettingsPage::SettingsPage(std::string config_path, SettingWriter save, QWidget* parent)
    : QWidget(parent), config_path_(std::move(config_path)), save_(std::move(save)) {
    frame_ = Make<QGroupBox>(this, "分组框7", 16, 40, 1036, kFrameHeight);
    QGroupBox* frame = frame_;
    auto* common = Make<QGroupBox>(frame, "分组框2", 20, 15, 384, 322, QString::fromUtf8("常用设置："));
    check_record = Make<QCheckBox>(common, "选择框_下载记录", 24, 58, 240, 20,
                                   QString::fromUtf8("开启下载记录（已经下载过的不再下载）"));
    check_window = Make<QCheckBox>(common, "选择框_时间段", 24, 97, 240, 16,
                                   QString::fromUtf8("开启后，只采集下面时间段上传的图片"));
    Make<QLabel>(common, "标签2", 40, 128, 56, 32, QString::fromUtf8("开始时间："));
    date_start = Make<QDateTimeEdit>(common, "日期框_开始时间", 112, 132, 152, 24);
    date_start->setDisplayFormat("yyyy-MM-dd");
    date_start->setCalendarPopup(true);
    date_start->setMinimumDateTime(QDateTime(QDate(100, 1, 1), QTime(0, 0)));
    date_start->setDateTime(QDateTime(QDate(2006, 3, 30), QTime(0, 0)));
    Make<QLabel>(common, "标签4", 40, 167, 56, 32, QString::fromUtf8("结束时间："));
    date_end = Make<QDateTimeEdit>(common, "日期框_结束时间", 112, 171, 152, 24);
    date_end->setDisplayFormat("yyyy-MM-dd");
    date_end->setCalendarPopup(true);
    date_end->setDateTimeRange(QDateTime(QDate(2006, 12, 30), QTime(0, 0)), QDateTime(QDate(2037, 12, 30), QTime(23, 59, 59)));
    date_end->setDateTime(QDateTime(QDate(2025, 12, 30), QTime(0, 0)));
    Make<QLabel>(common, "标签8", 16, 201, 288, 32, QString::fromUtf8("温馨提示：有的微博相册里写的图片总数是不准确的。"));
    Make<QLabel>(common, "标签_同时下载数", 40, 244, 72, 32, QString::fromUtf8("同时下载数："));
    spin_parallel = Make<QSpinBox>(common, "数字框_同时下载数", 112, 248, 64, 24);
    spin_parallel->setRange(1, kMaxParallel);
    spin_parallel->setValue(kDefaultParallel);

    auto* naming = Make<QGroupBox>(frame, "分组框_文件设置", 429, 15, 367, 322, QString::fromUtf8("下载图片命名格式："));
    // Tall enough for its indicator in every skin.
    radio_number_text = Make<QRadioButton>(naming, "单选框_序号加内容", 13, 120, 180, 20, QString::fromUtf8("下载序号+微博内容(默认)"));
    radio_text_number = Make<QRadioButton>(naming, "单选框_内容加序号", 13, 155, 136, 16, QString::fromUtf8("微博内容+下载序号"));
    radio_text = Make<QRadioButton>(naming, "单选框_内容", 13, 185, 136, 18, QString::fromUtf8("微博内容"));
    radio_text_date = Make<QRadioButton>(naming, "单选框_内容加日期", 13, 212, 139, 24, QString::fromUtf8("微博内容+发布日期"));
    radio_date_text = Make<QRadioButton>(naming, "单选框_日期加内容", 13, 251, 136, 16, QString::fromUtf8("发布日期+内容"));
    // Inside the naming group, where the design draws it.
    auto* sequence = Make<QGroupBox>(naming, "分组框5", 6, 17, 345, 96, QString::fromUtf8("下载序号格式："));
    radio_sequence_default = Make<QRadioButton>(sequence, "单选框_默认序号", 7, 24, 217, 24,
                                                QString::fromUtf8("[默认]下载序号格式1.2.3递增"));
    radio_sequence_cycle = Make<QRadioButton>(sequence, "单选框_循环序号", 10, 69, 222, 18,
                                              QString::fromUtf8("100次循环,如1-1...1-100, 2-1..."));

    auto* sources = Make<QGroupBox>(frame, "分组框_来源", 812, 15, 208, 322, QString::fromUtf8("来源与文件："));
    Make<QLabel>(sources, "标签_相册来源", 12, 28, 64, 24, QString::fromUtf8("相册来源："));
    combo_album_door = Make<QComboBox>(sources, "组合框_相册来源", 80, 28, 116, 24);
    for (const AlbumDoor door : {AlbumDoor::kAuto, AlbumDoor::kPhotoService, AlbumDoor::kAlbumTab}) {
        combo_album_door->addItem(QString::fromUtf8(AlbumDoorText(door).data()), static_cast<int>(door));
    }
    combo_album_door->setToolTip(QString::fromUtf8("自动：先问相册服务，它无法获取相册列表时改从微博主页的相册页获取"));
    check_live_video = Make<QCheckBox>(sources, "选择框_实况视频", 12, 64, 184, 20, QString::fromUtf8("保存实况照片的视频"));
    check_live_video->setChecked(true);
    check_new_only = Make<QCheckBox>(sources, "选择框_只下载新照片", 12, 96, 184, 20, QString::fromUtf8("只下载新照片"));
    check_new_only->setToolTip(QString::fromUtf8("读到上次完整下载时最新的照片为止；需要并会开启下载记录"));
    Make<QLabel>(sources, "标签_文件时间", 12, 128, 64, 24, QString::fromUtf8("文件时间："));
    combo_file_time = Make<QComboBox>(sources, "组合框_文件时间", 80, 128, 116, 24);
    combo_file_time->addItem(QString::fromUtf8(kUploadTime.data()));
    combo_file_time->addItem(QString::fromUtf8(kDownloadTime.data()));
    combo_file_time->setToolTip(QString::fromUtf8("上传时间：保存的照片和视频以微博的发布时间为修改时间"));
    Make<QLabel>(sources, "标签_代理", 12, 164, 64, 24, QString::fromUtf8("代理："));
    edit_proxy = Make<QLineEdit>(sources, "编辑框_代理", 80, 164, 116, 24);
    edit_proxy->setPlaceholderText(QString::fromUtf8("系统设置"));
    edit_proxy->setToolTip(QString::fromUtf8("留空：使用系统（环境变量）的代理；direct：不用代理；或 http://主机:端口、"
                                             "socks5://主机:端口。内置浏览器在程序重新启动后使用新的代理。"));

    auto* sound = Make<QGroupBox>(frame, "分组框6", 20, 354, 776, 64, QString::fromUtf8("下载完成提示音（mp3格式,不使用请留空）："));
    Make<QLabel>(sound, "标签_保存路径1", 8, 21, 64, 32, QString::fromUtf8("MP3位置："));
    edit_sound = Make<QLineEdit>(sound, "编辑框_MP3", 80, 25, 260, 27);
    button_choose_sound = Make<QPushButton>(sound, "按钮_选择MP3", 348, 24, 52, 28, QString::fromUtf8("选择"));
    button_save_sound = Make<QPushButton>(sound, "按钮3", 416, 24, 52, 28, QString::fromUtf8("保存"));
    button_stop_sound = Make<QPushButton>(sound, "按钮4", 488, 23, 72, 28, QString::fromUtf8("停止播放"));

    auto* about_albums = Make<QGroupBox>(frame, "分组框8", 20, 425, 784, 112);
    auto* hint = Make<QLabel>(about_albums, "标签11", 15, 16, 747, 48,
                              QString::fromUtf8("关于下载别人设置了密码的相册：首先，你要有该相册访问密码，之后，在上面输入对方主页，"
                                                "点击查看【用户专辑】按钮。\n\n最后找到有密码的专辑点击，输入密码后，进入了有密码的相册。"
                                                "再进行第二步操作。\n"));
    hint->setWordWrap(true);
    check_show_album_button = Make<QCheckBox>(about_albums, "选择框_用户专辑按钮不显示", 8, 84, 216, 16,
                                              QString::fromUtf8("显示用户专辑按钮[不明白就别勾选]"));

    connect(check_record, &QCheckBox::clicked, this, [this] { WriteSwitch(kRecordStoreKey, check_record->isChecked()); });
    connect(check_window, &QCheckBox::clicked, this, [this] { WriteSwitch(kTimeWindowKey, check_window->isChecked()); });
    connect(spin_parallel, &QSpinBox::valueChanged, this,
            [this](int value) { save_(kGlobalSection, kParallelKey, std::to_string(value)); });
    const std::pair<QRadioButton*, NameFormat> naming_buttons[] = {
        {radio_number_text, NameFormat::kNumberThenContent}, {radio_text_number, NameFormat::kContentThenNumber},
        {radio_text, NameFormat::kContent},                  {radio_text_date, NameFormat::kContentThenDate},
        {radio_date_text, NameFormat::kDateThenContent}};
    for (const auto& [radio, format] : naming_buttons) {
        connect(radio, &QRadioButton::clicked, this, [this, radio = radio, format = format] {
            if (radio->isChecked()) save_(kGlobalSection, kNameFormatKey, NameFormatText(format));
        });
    }
    connect(radio_sequence_default, &QRadioButton::clicked, this, [this] {
        if (radio_sequence_default->isChecked()) save_(kGlobalSection, kSequenceKey, kSequenceDefault);
    });
    connect(radio_sequence_cycle, &QRadioButton::clicked, this, [this] {
        if (radio_sequence_cycle->isChecked()) save_(kGlobalSection, kSequenceKey, kSequenceCycle);
    });
    connect(date_start, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& value) {
        save_(kGlobalSection, kStartDateKey, DateText(FromQt(value)));
    });
    connect(date_end, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& value) {
        save_(kGlobalSection, kEndDateKey, DateText(FromQt(value)));
    });
    connect(button_choose_sound, &QPushButton::clicked, this, [this] { OnChooseSound(); });
    connect(button_save_sound, &QPushButton::clicked, this, [this] { OnSaveSoundPath(); });
    connect(button_stop_sound, &QPushButton::clicked, this, &SettingsPage::stopSoundClicked);
    connect(check_show_album_button, &QCheckBox::clicked, this, &SettingsPage::showAlbumButtonClicked);
    // Every change reaches the copy a running download reads.
    for (QCheckBox* box : {check_record, check_window, check_live_video, check_new_only}) {
        connect(box, &QCheckBox::toggled, this, &SettingsPage::optionsChanged);
    }
    for (QRadioButton* radio : {radio_number_text, radio_text_number, radio_text, radio_text_date, radio_date_text,
                                radio_sequence_default, radio_sequence_cycle}) {
        connect(radio, &QRadioButton::toggled, this, &SettingsPage::optionsChanged);
    }
    for (QDateTimeEdit* box : {date_start, date_end}) {
        connect(box, &QDateTimeEdit::dateTimeChanged, this, &SettingsPage::optionsChanged);
    }
    connect(edit_sound, &QLineEdit::textChanged, this, &SettingsPage::optionsChanged);
    connect(spin_parallel, &QSpinBox::valueChanged, this, &SettingsPage::optionsChanged);
    connect(combo_album_door, &QComboBox::currentIndexChanged, this, &SettingsPage::optionsChanged);
    connect(combo_file_time, &QComboBox::currentIndexChanged, this, &SettingsPage::optionsChanged);
    connect(combo_album_door, &QComboBox::activated, this, [this] {
        save_(kGlobalSection, kAlbumDoorKey, AlbumDoorText(CheckedAlbumDoor()));
    });
    connect(check_live_video, &QCheckBox::clicked, this, [this] { WriteSwitch(kLiveVideoKey, check_live_video->isChecked()); });
    connect(check_new_only, &QCheckBox::clicked, this, [this] { WriteSwitch(kNewOnlyKey, check_new_only->isChecked()); });
    connect(combo_file_time, &QComboBox::activated, this,
            [this] { save_(kGlobalSection, kFileTimeKey, combo_file_time->currentText().toStdString()); });
    connect(edit_proxy, &QLineEdit::editingFinished, this, [this] {
        const std::string proxy = edit_proxy->text().trimmed().toStdString();
        if (proxy == ReadSetting(config_path_, kGlobalSection, kProxyKey)) return;
        save_(kGlobalSection, kProxyKey, proxy);
        if (ProxyHasPassword(proxy)) KeepToOwner(config_path_);  // nobody else reads the password
        SetProxySetting(proxy);  // the program's own requests take it at once
    });
}

void SettingsPage::Load() {
    const std::string& config = config_path_;
    check_record->setChecked(ReadSetting(config, kGlobalSection, kRecordStoreKey, kSwitchOff) == kSwitchOn);
    check_window->setChecked(ReadSetting(config, kGlobalSection, kTimeWindowKey, kSwitchOff) == kSwitchOn);
    // A stored text that is not a date the box accepts leaves its design date.
    const QSignalBlocker block_start(date_start);
    const QSignalBlocker block_end(date_end);
    for (const auto& [key, box] : {std::pair{kStartDateKey, date_start}, std::pair{kEndDateKey, date_end}}) {
        const std::string text = ReadSetting(config, kGlobalSection, key);
        if (text.empty()) continue;
        const DateTime date = ParseDateText(text);
        if (date.year == 100) continue;  // not a date: the box keeps its date
        const QDateTime value = ToQt(date);
        if (value >= box->minimumDateTime() && value <= box->maximumDateTime()) box->setDateTime(value);
    }
    if (const auto format = NameFormatFromText(ReadSetting(config, kGlobalSection, kNameFormatKey))) {
        switch (*format) {
            case NameFormat::kNumberThenContent: radio_number_text->setChecked(true); break;
            case NameFormat::kContentThenNumber: radio_text_number->setChecked(true); break;
            case NameFormat::kContent: radio_text->setChecked(true); break;
            case NameFormat::kContentThenDate: radio_text_date->setChecked(true); break;
            case NameFormat::kDateThenContent: radio_date_text->setChecked(true); break;
        }
    }
    (ReadSetting(config, kGlobalSection, kSequenceKey) == kSequenceCycle ? radio_sequence_cycle : radio_sequence_default)
        ->setChecked(true);
    edit_sound->setText(QString::fromStdString(ReadSetting(config, kSoundSection, kSoundKey)));
    const SavedOptions saved = ReadSavedOptions(config, {});
    combo_album_door->setCurrentIndex(combo_album_door->findData(static_cast<int>(saved.album_door)));
    check_live_video->setChecked(saved.live_video);
    check_new_only->setChecked(saved.new_only);
    combo_file_time->setCurrentIndex(saved.upload_time_as_file_time ? 0 : 1);
    edit_proxy->setText(QString::fromStdString(saved.proxy));
    const QSignalBlocker block_parallel(spin_parallel);
    spin_parallel->setValue(ParallelFromText(ReadSetting(config, kGlobalSection, kParallelKey)).value_or(kDefaultParallel));
}

SavedOptions SettingsPage::Options() const {
    SavedOptions options;
    options.record_store = check_record->isChecked();
    options.time_window = check_window->isChecked();
    options.start_date = WindowStart();
    options.end_date = WindowEnd();
    const bool any_format = radio_number_text->isChecked() || radio_text_number->isChecked() || radio_text->isChecked() ||
                            radio_text_date->isChecked() || radio_date_text->isChecked();
    if (any_format) options.name_format = CheckedNameFormat();
    options.sequence = CheckedSequenceScheme();
    options.sound_path = edit_sound->text().toStdString();
    options.parallel = spin_parallel->value();
    options.album_door = CheckedAlbumDoor();
    options.live_video = check_live_video->isChecked();
    options.new_only = check_new_only->isChecked();
    options.upload_time_as_file_time = combo_file_time->currentIndex() == 0;
    options.proxy = edit_proxy->text().trimmed().toStdString();
    return options;
}

NameFormat SettingsPage::CheckedNameFormat() const {
    if (radio_text_number->isChecked()) return NameFormat::kContentThenNumber;
    if (radio_number_text->isChecked()) return NameFormat::kNumberThenContent;
    if (radio_text_date->isChecked()) return NameFormat::kContentThenDate;
    if (radio_date_text->isChecked()) return NameFormat::kDateThenContent;
    return NameFormat::kContent;  // also when no naming button is checked
}

AlbumDoor SettingsPage::CheckedAlbumDoor() const { return static_cast<AlbumDoor>(combo_album_door->currentData().toInt()); }

SequenceScheme SettingsPage::CheckedSequenceScheme() const {
    return radio_sequence_cycle->isChecked() ? SequenceScheme::kPageCycle : SequenceScheme::kRunning;
}

DateTime SettingsPage::WindowStart() const { return FromQt(date_start->dateTime()); }
DateTime SettingsPage::WindowEnd() const { return FromQt(date_end->dateTime()); }

void SettingsPage::WriteSwitch(std::string_view key, bool on) { save_(kGlobalSection, key, on ? kSwitchOn : kSwitchOff); }

void SettingsPage::OnChooseSound() {
    const QString chosen = choose_sound_file
                               ? choose_sound_file()
                               : ChooseFile(this, QString::fromUtf8("选择mp3的位置"), QString(),
                                            QString::fromUtf8("声音文件 (*.mp3 *.wav *.ogg);;所有文件 (*)"));
    edit_sound->setText(chosen.trimmed());
    save_(kSoundSection, kSoundKey, edit_sound->text().toStdString());
}

void SettingsPage::OnSaveSoundPath() {
    const std::string path = edit_sound->text().toStdString();
    save_(kSoundSection, kSoundKey, path);
    const bool saved = !path.empty() && ReadSetting(config_path_, kSoundSection, kSoundKey) == path;
    QMessageBox::information(this, QString::fromUtf8("信息："),
                             QString::fromUtf8(saved ? "保存到配置项成功" : "保存到配置项失败"));
}

}  // namespace wa
