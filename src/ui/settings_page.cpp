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
#include <QCoreApplication>
#include <QPointer>
#include <QSpinBox>

#include <algorithm>

#include "doors/registry.h"
#include "net/curl_transfer.h"
#include "ui/file_chooser.h"
#include "ui/qt_dates.h"
#include "weibo/pacer.h"
#include "weibo/service_request.h"

namespace wa {
namespace {

constexpr int kFrameHeight = 553;

QDateTimeEdit* MakeDateBox(QWidget* parent, const char* name, int top, const DateKey& key) {
    auto* box = Make<QDateTimeEdit>(parent, name, 112, top, 152, 24);
    box->setDisplayFormat("yyyy-MM-dd");
    box->setCalendarPopup(true);
    box->setDateTimeRange(ToQt(key.least), ToQt(key.most));
    box->setDateTime(ToQt(key.today_by_default ? std::clamp(Today(), key.least, key.most) : key.fallback));
    return box;
}

}  // namespace

SettingsPage::SettingsPage(Settings& settings, Pacer& pacer, QWidget* parent)
    : QWidget(parent), settings_(settings), pacer_(pacer) {
    frame_ = Make<QGroupBox>(this, "分组框7", 16, 40, 1036, kFrameHeight);
    BuildCommon(frame_);
    BuildNaming(frame_);
    BuildSources(frame_);
    BuildSoundAndHint(frame_);
    Bind();
}

void SettingsPage::LayOut(int extra_height) { frame_->resize(frame_->width(), kFrameHeight + extra_height); }

QGroupBox* SettingsPage::BuildCommon(QGroupBox* frame) {
    auto* common = Make<QGroupBox>(frame, "分组框2", 20, 15, 384, 322, QString::fromUtf8("常用设置："));
    check_record_ = Make<QCheckBox>(common, "选择框_下载记录", 24, 58, 240, 20,
                                    QString::fromUtf8("开启下载记录（已经下载过的不再下载）"));
    check_window_ = Make<QCheckBox>(common, "选择框_时间段", 24, 97, 240, 16,
                                    QString::fromUtf8("开启后，只采集下面时间段上传的图片"));
    Make<QLabel>(common, "标签2", 40, 128, 56, 32, QString::fromUtf8("开始时间："));
    date_start_ = MakeDateBox(common, "日期框_开始时间", 132, kWindowStartKey);
    Make<QLabel>(common, "标签4", 40, 167, 56, 32, QString::fromUtf8("结束时间："));
    date_end_ = MakeDateBox(common, "日期框_结束时间", 171, kWindowEndKey);
    Make<QLabel>(common, "标签8", 16, 201, 288, 32, QString::fromUtf8("温馨提示：有的微博相册里写的图片总数是不准确的。"));
    Make<QLabel>(common, "标签_同时下载数", 40, 244, 72, 32, QString::fromUtf8("同时下载数："));
    spin_parallel_ = Make<QSpinBox>(common, "数字框_同时下载数", 112, 248, 64, 24);
    spin_parallel_->setRange(kParallelKey.least, kParallelKey.most);
    spin_parallel_->setValue(kParallelKey.fallback);
    Make<QLabel>(common, "标签_请求间隔", 196, 244, 64, 32, QString::fromUtf8("请求间隔："));
    spin_spacing_ = Make<QSpinBox>(common, "数字框_请求间隔", 260, 248, 108, 24);
    spin_spacing_->setRange(kRequestSpacingKey.least, kRequestSpacingKey.most);
    spin_spacing_->setSingleStep(100);
    spin_spacing_->setSuffix(QString::fromUtf8(" 毫秒"));
    spin_spacing_->setValue(kRequestSpacingKey.fallback);
    spin_spacing_->setToolTip(QString::fromUtf8("两次向微博请求之间至少等待的时间；太短容易被限制访问"));
    label_pace_ = Make<QLabel>(common, "标签_学到的节奏", 40, 280, 250, 32, QString());
    label_pace_->setToolTip(QString::fromUtf8("微博限流后程序放慢的请求节奏，记在配置.ini旁的请求节奏.ini中，约一天不再限流后淡去"));
    button_forget_pace_ = Make<QPushButton>(common, "按钮_忘记节奏", 296, 284, 72, 24, QString::fromUtf8("忘记"));
    button_forget_pace_->setToolTip(QString::fromUtf8("忘记学到的节奏，回到请求间隔"));
    switches_ = {{check_record_, &kRecordStoreKey}, {check_window_, &kDateWindowKey}};
    dates_ = {{date_start_, &kWindowStartKey}, {date_end_, &kWindowEndKey}};
    numbers_ = {{spin_parallel_, &kParallelKey}, {spin_spacing_, &kRequestSpacingKey}};
    return common;
}

QGroupBox* SettingsPage::BuildNaming(QGroupBox* frame) {
    auto* naming = Make<QGroupBox>(frame, "分组框_文件设置", 429, 15, 367, 322, QString::fromUtf8("下载图片命名格式："));
    // Tall enough for its indicator in every skin.
    naming_ = {
        {Make<QRadioButton>(naming, "单选框_序号加内容", 13, 120, 180, 20, QString::fromUtf8("下载序号+微博内容(默认)")),
         NameFormat::kNumberThenContent},
        {Make<QRadioButton>(naming, "单选框_内容加序号", 13, 155, 136, 16, QString::fromUtf8("微博内容+下载序号")),
         NameFormat::kContentThenNumber},
        {Make<QRadioButton>(naming, "单选框_内容", 13, 185, 136, 18, QString::fromUtf8("微博内容")), NameFormat::kContent},
        {Make<QRadioButton>(naming, "单选框_内容加日期", 13, 212, 139, 24, QString::fromUtf8("微博内容+发布日期")),
         NameFormat::kContentThenDate},
        {Make<QRadioButton>(naming, "单选框_日期加内容", 13, 251, 136, 16, QString::fromUtf8("发布日期+内容")),
         NameFormat::kDateThenContent}};
    // Inside the naming group, where the design draws it.
    auto* sequence = Make<QGroupBox>(naming, "分组框5", 6, 17, 345, 96, QString::fromUtf8("下载序号格式："));
    sequence_ = {{Make<QRadioButton>(sequence, "单选框_默认序号", 7, 24, 217, 24,
                                     QString::fromUtf8("[默认]下载序号格式1.2.3递增")),
                  SequenceScheme::kRunning},
                 {Make<QRadioButton>(sequence, "单选框_循环序号", 10, 69, 222, 18,
                                     QString::fromUtf8("100次循环,如1-1...1-100, 2-1...")),
                  SequenceScheme::kPageCycle}};
    return naming;
}

QGroupBox* SettingsPage::BuildSources(QGroupBox* frame) {
    auto* sources = Make<QGroupBox>(frame, "分组框_来源", 812, 15, 208, 322, QString::fromUtf8("来源与文件："));
    Make<QLabel>(sources, "标签_相册来源", 12, 28, 64, 24, QString::fromUtf8("相册来源："));
    combo_album_door_ = Make<QComboBox>(sources, "组合框_相册来源", 80, 28, 116, 24);
    combo_album_door_->addItem(QString::fromUtf8(kAutoDoorWords.label.data(), kAutoDoorWords.label.size()), QString());
    for (const Door* door : AllDoors()) {
        const DoorWords words = door->Words();
        combo_album_door_->addItem(QString::fromUtf8(words.label.data(), static_cast<qsizetype>(words.label.size())),
                                   QString::fromUtf8(words.key.data(), static_cast<qsizetype>(words.key.size())));
    }
    QStringList labels;
    for (const Door* door : AllDoors()) labels << QString::fromUtf8(door->Words().label.data(), door->Words().label.size());
    combo_album_door_->setToolTip(QString::fromUtf8("自动：依次问") + labels.join(QString::fromUtf8("、")) +
                                  QString::fromUtf8("，前一个无法获取相册列表时改问下一个"));
    check_live_video_ = Make<QCheckBox>(sources, "选择框_实况视频", 12, 64, 184, 20, QString::fromUtf8("保存实况照片的视频"));
    check_new_only_ = Make<QCheckBox>(sources, "选择框_只下载新照片", 12, 96, 184, 20, QString::fromUtf8("只下载新照片"));
    check_new_only_->setToolTip(QString::fromUtf8("读到上次完整下载时最新的照片为止；需要并会开启下载记录"));
    Make<QLabel>(sources, "标签_文件时间", 12, 128, 64, 24, QString::fromUtf8("文件时间："));
    combo_file_time_ = Make<QComboBox>(sources, "组合框_文件时间", 80, 128, 116, 24);
    for (const auto& [word, upload_time] : kFileTimeKey.words) {
        combo_file_time_->addItem(QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())), upload_time);
    }
    combo_file_time_->setToolTip(QString::fromUtf8("上传时间：保存的照片和视频以微博的发布时间为修改时间"));
    Make<QLabel>(sources, "标签_代理", 12, 164, 64, 24, QString::fromUtf8("代理："));
    edit_proxy_ = Make<QLineEdit>(sources, "编辑框_代理", 80, 164, 116, 24);
    edit_proxy_->setPlaceholderText(QString::fromUtf8("系统设置"));
    edit_proxy_->setToolTip(QString::fromUtf8("留空：使用系统（环境变量）的代理；direct：不用代理；或 http://主机:端口、"
                                              "socks5://主机:端口。内置浏览器在程序重新启动后使用新的代理。"));
    check_finish_notice_ = Make<QCheckBox>(sources, "选择框_下载完成通知", 12, 200, 190, 20, QString::fromUtf8("下载完成时通知桌面"));
    check_finish_notice_->setToolTip(QString::fromUtf8("窗口不在前面时，下载结束后发一条桌面通知，说保存了多少、有没有失败"));
    check_write_metadata_ = Make<QCheckBox>(sources, "选择框_写入照片信息", 12, 232, 190, 20, QString::fromUtf8("写入照片信息"));
    check_write_metadata_->setToolTip(QString::fromUtf8("把发布时间、微博全文、作者和微博地址写进保存的JPEG和PNG图片，\n"
                                                        "复制到手机或相册软件后也能按拍摄日期排列、看到原文。\n"
                                                        "不勾选时，保存的图片与服务器给的完全相同。"));
    check_album_index_ = Make<QCheckBox>(sources, "选择框_保存相册索引", 12, 264, 190, 20, QString::fromUtf8("保存相册索引"));
    check_album_index_->setToolTip(QString::fromUtf8("在每个相册文件夹里保存“相册索引.json”：\n"
                                                     "每张照片的文件名、微博全文、发布时间、微博地址和图片地址。"));
    switches_.insert(switches_.end(), {{check_live_video_, &kLiveVideoKey},
                                       {check_new_only_, &kNewOnlyKey},
                                       {check_finish_notice_, &kFinishNoticeKey},
                                       {check_write_metadata_, &kWriteMetadataKey},
                                       {check_album_index_, &kAlbumIndexKey}});
    return sources;
}

void SettingsPage::BuildSoundAndHint(QGroupBox* frame) {
    auto* sound = Make<QGroupBox>(frame, "分组框6", 20, 354, 776, 64, QString::fromUtf8("下载完成提示音（mp3格式,不使用请留空）："));
    Make<QLabel>(sound, "标签_保存路径1", 8, 21, 64, 32, QString::fromUtf8("MP3位置："));
    edit_sound_ = Make<QLineEdit>(sound, "编辑框_MP3", 80, 25, 260, 27);
    button_choose_sound_ = Make<QPushButton>(sound, "按钮_选择MP3", 348, 24, 52, 28, QString::fromUtf8("选择"));
    button_save_sound_ = Make<QPushButton>(sound, "按钮3", 416, 24, 52, 28, QString::fromUtf8("保存"));
    button_stop_sound_ = Make<QPushButton>(sound, "按钮4", 488, 23, 72, 28, QString::fromUtf8("停止播放"));

    auto* about_albums = Make<QGroupBox>(frame, "分组框8", 20, 425, 784, 112);
    auto* hint = Make<QLabel>(about_albums, "标签11", 15, 16, 747, 48,
                              QString::fromUtf8("关于下载别人设置了密码的相册：首先，你要有该相册访问密码，之后，在上面输入对方主页，"
                                                "点击查看【用户专辑】按钮。\n\n最后找到有密码的专辑点击，输入密码后，进入了有密码的相册。"
                                                "再进行第二步操作。\n"));
    hint->setWordWrap(true);
    check_show_album_button_ = Make<QCheckBox>(about_albums, "选择框_用户专辑按钮不显示", 8, 84, 216, 16,
                                               QString::fromUtf8("显示用户专辑按钮[不明白就别勾选]"));
}

// Each control writes its key when the user changes it, and every change
// reaches the copy a running download reads.
void SettingsPage::Bind() {
    // What a control shows now is written, then the run's copy is told.
    const auto changed = [this](const std::function<void()>& write) {
        if (loading_) return;
        write();
        emit optionsChanged();
    };
    for (const auto& [box, key] : switches_) {
        connect(box, &QCheckBox::toggled, this, [this, changed, key = key](bool on) { changed([&] { settings_.Set(*key, on); }); });
    }
    for (const auto& [box, key] : dates_) {
        connect(box, &QDateTimeEdit::dateTimeChanged, this, [this, changed, key = key](const QDateTime& value) {
            changed([&] { settings_.Set(*key, FromQt(value)); });
        });
    }
    for (const auto& [spin, key] : numbers_) {
        connect(spin, &QSpinBox::valueChanged, this,
                [this, changed, key = key](int value) { changed([&] { settings_.Set(*key, value); }); });
    }
    for (const auto& [radio, format] : naming_) {
        connect(radio, &QRadioButton::toggled, this, [this, changed, format = format](bool on) {
            if (on) changed([&] { settings_.Set(kNameFormatKey, std::optional<NameFormat>(format)); });
        });
    }
    for (const auto& [radio, scheme] : sequence_) {
        connect(radio, &QRadioButton::toggled, this, [this, changed, scheme = scheme](bool on) {
            if (on) changed([&] { settings_.Set(kSequenceKey, scheme); });
        });
    }
    connect(combo_album_door_, &QComboBox::currentIndexChanged, this, [this, changed] {
        changed([&] { settings_.SetDoor(combo_album_door_->currentData().toString().toStdString()); });
    });
    connect(combo_file_time_, &QComboBox::currentIndexChanged, this, [this, changed] {
        changed([&] { settings_.Set(kFileTimeKey, combo_file_time_->currentData().toBool()); });
    });
    connect(edit_proxy_, &QLineEdit::editingFinished, this, [this] {
        const std::string proxy = edit_proxy_->text().trimmed().toStdString();
        if (proxy == settings_.Proxy()) return;
        settings_.SetProxy(proxy);
        SetProxySetting(proxy);  // the program's own requests take it at once
    });
    // The spacing between requests holds from the next request on.
    connect(spin_spacing_, &QSpinBox::valueChanged, this, [this](int milliseconds) {
        pacer_.SetLeast(std::chrono::milliseconds(milliseconds));
        ShowPace();
    });
    connect(button_forget_pace_, &QPushButton::clicked, this, [this] { pacer_.Forget(); });
    // A run's requests change the pace on their threads; the page shows it on its own.
    QPointer<SettingsPage> page(this);
    pacer_.OnChange([page](const PaceMemory&, bool) {
        QMetaObject::invokeMethod(qApp, [page] { if (page) page->ShowPace(); }, Qt::QueuedConnection);
    });
    ShowPace();
    connect(edit_sound_, &QLineEdit::textChanged, this, &SettingsPage::optionsChanged);
    connect(button_choose_sound_, &QPushButton::clicked, this, [this] { OnChooseSound(); });
    connect(button_save_sound_, &QPushButton::clicked, this, [this] { OnSaveSoundPath(); });
    connect(button_stop_sound_, &QPushButton::clicked, this, &SettingsPage::stopSoundClicked);
    connect(check_show_album_button_, &QCheckBox::clicked, this, &SettingsPage::showAlbumButtonClicked);
}

void SettingsPage::ShowPace() {
    const bool slowed = pacer_.Slowed();
    label_pace_->setText(slowed ? QString::fromUtf8("服务限流后：") + QString::fromStdString(SpacingText(pacer_.Spacing())) +
                                      QString::fromUtf8("请求")
                                : QString::fromUtf8("未遇到服务限流"));
    button_forget_pace_->setVisible(slowed);
}

void SettingsPage::Load() {
    loading_ = true;  // showing what the file holds writes nothing
    for (const auto& [box, key] : switches_) box->setChecked(settings_.Get(*key));
    // A stored text that is not a date the box accepts leaves its design date.
    for (const auto& [box, key] : dates_) {
        if (settings_.Holds(*key)) box->setDateTime(ToQt(settings_.Get(*key)));
    }
    for (const auto& [spin, key] : numbers_) spin->setValue(settings_.Get(*key));
    if (const std::optional<NameFormat> format = settings_.Get(kNameFormatKey)) {
        for (const auto& [radio, value] : naming_) {
            if (value == *format) radio->setChecked(true);
        }
    }
    for (const auto& [radio, scheme] : sequence_) {
        if (scheme == settings_.Get(kSequenceKey)) radio->setChecked(true);
    }
    edit_sound_->setText(QString::fromStdString(settings_.Get(kSoundKey)));
    combo_album_door_->setCurrentIndex(combo_album_door_->findData(QString::fromStdString(settings_.Door())));
    combo_file_time_->setCurrentIndex(combo_file_time_->findData(settings_.Get(kFileTimeKey)));
    edit_proxy_->setText(QString::fromStdString(settings_.Proxy()));
    loading_ = false;
}

std::string SettingsPage::SoundPath() const { return edit_sound_->text().toStdString(); }

void SettingsPage::OnChooseSound() {
    const QString chosen = choose_sound_file
                               ? choose_sound_file()
                               : ChooseFile(this, QString::fromUtf8("选择mp3的位置"), QString(),
                                            QString::fromUtf8("MP3 文件 (*.mp3);;所有文件 (*)"));
    edit_sound_->setText(chosen.trimmed());
    settings_.Set(kSoundKey, edit_sound_->text().toStdString());
}

void SettingsPage::OnSaveSoundPath() {
    const std::string path = edit_sound_->text().toStdString();
    settings_.Set(kSoundKey, path);
    const bool saved = !path.empty() && settings_.Get(kSoundKey) == path;
    QMessageBox::information(this, QString::fromUtf8("信息："),
                             QString::fromUtf8(saved ? "保存到配置项成功" : "保存到配置项失败"));
}

}  // namespace wa
