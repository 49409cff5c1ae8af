// The sound a finished run plays (the 下载完成提示音 of the settings page).
#pragma once

#include <QObject>

#include <string>

class QAudioOutput;
class QMediaPlayer;

namespace wa {

class CompletionSound : public QObject {
    Q_OBJECT

public:
    explicit CompletionSound(QObject* parent);
    // Plays the file once; a path that is empty or cannot play plays nothing.
    void Play(const std::string& path);
    void Stop();

private:
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
};

}  // namespace wa
