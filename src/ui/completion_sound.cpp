#include "ui/completion_sound.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

namespace wa {

CompletionSound::CompletionSound(QObject* parent) : QObject(parent) {
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);
}

void CompletionSound::Play(const std::string& path) {
    if (path.empty()) return;
    player_->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    player_->play();
}

void CompletionSound::Stop() { player_->pause(); }

}  // namespace wa
