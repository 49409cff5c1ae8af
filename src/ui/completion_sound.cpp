#include "ui/completion_sound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

namespace wa {

CompletionSound::CompletionSound(QObject* parent) : QObject(parent) {
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);
    connect(player_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& reason) { emit failed(reason); });
}

void CompletionSound::Play(const std::string& path) {
    if (path.empty()) return;
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isFile()) {
        emit failed(QString::fromUtf8("找不到文件 ") + file);
        return;
    }
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        emit failed(QString::fromUtf8("没有可用的声音设备"));
        return;
    }
    player_->setSource(QUrl::fromLocalFile(file));
    player_->play();
}

void CompletionSound::Stop() { player_->pause(); }

}  // namespace wa
