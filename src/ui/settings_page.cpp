// The settings page: every option control shows what "配置.ini" holds at
// start-up and writes its own key the moment the user changes it.
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>

#include "shell/saved_options.h"
#include "ui/main_window.h"
#include "ui/qt_dates.h"
#include "util/ini_file.h"

namespace wa {

void MainWindow::LoadSettings() {
    const std::string& config = globals_.config_path;
    check_record->setChecked(ReadSetting(config, kGlobalSection, kRecordStoreKey, kSwitchOff) == kSwitchOn);
    check_window->setChecked(ReadSetting(config, kGlobalSection, kTimeWindowKey, kSwitchOff) == kSwitchOn);
    // A stored text that is not a date the box accepts leaves its design date.
    const QSignalBlocker block_start(date_start);
    const QSignalBlocker block_end(date_end);
    for (const auto& [key, box] : {std::pair{kStartDateKey, date_start}, std::pair{kEndDateKey, date_end}}) {
        const std::string text = ReadSetting(config, kGlobalSection, key);
        if (text.empty()) continue;
        const QDateTime value = ToQt(ParseDateText(text));
        if (value >= box->minimumDateTime() && value <= box->maximumDateTime()) box->setDateTime(value);
    }
    const std::string folder = ReadSetting(config, kGlobalSection, kSaveFolderKey);
    edit_save_folder->setText(QString::fromStdString(folder.empty() ? globals_.program_folder : folder));
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
    const QSignalBlocker block_parallel(spin_parallel);
    spin_parallel->setValue(ParallelFromText(ReadSetting(config, kGlobalSection, kParallelKey)).value_or(kDefaultParallel));
}

void MainWindow::WriteSwitch(std::string_view key, bool on) {
    SaveSetting(kGlobalSection, key, on ? kSwitchOn : kSwitchOff);
}

void MainWindow::OnChooseSaveFolder() {
    QString chosen = choose_folder ? choose_folder()
                                   : QFileDialog::getExistingDirectory(this, QString::fromUtf8("选择相册的存放位置"),
                                                                       edit_save_folder->text());
    edit_save_folder->setText(chosen.trimmed());
    if (edit_save_folder->text().isEmpty()) edit_save_folder->setText(QString::fromStdString(globals_.program_folder));
    SaveSetting(kGlobalSection, kSaveFolderKey, edit_save_folder->text().toStdString());
}

void MainWindow::OnChooseSound() {
    const QString chosen = choose_sound_file
                               ? choose_sound_file()
                               : QFileDialog::getOpenFileName(this, QString::fromUtf8("选择mp3的位置"), QString(),
                                                              QString::fromUtf8("声音文件 (*.mp3 *.wav *.ogg);;所有文件 (*)"));
    edit_sound->setText(chosen.trimmed());
    SaveSetting(kSoundSection, kSoundKey, edit_sound->text().toStdString());
}

void MainWindow::OnSaveSoundPath() {
    const std::string path = edit_sound->text().toStdString();
    SaveSetting(kSoundSection, kSoundKey, path);
    const bool saved = !path.empty() && ReadSetting(globals_.config_path, kSoundSection, kSoundKey) == path;
    QMessageBox::information(this, QString::fromUtf8("信息："),
                             QString::fromUtf8(saved ? "保存到配置项成功" : "保存到配置项失败"));
}

}  // namespace wa
