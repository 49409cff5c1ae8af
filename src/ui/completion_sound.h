// The sound a finished run plays (the 下载完成提示音 of the settings page).
#pragma once

#include <QObject>
#include <QString>

#include <string>

class QAudioOutput;
class QMediaPlayer;

namespace wa {

class CompletionSound : public QObject {
    Q_OBJECT

public:
    explicit CompletionSound(QObject* parent);
    // Plays the file once; an empty path plays nothing. A file that cannot be
    // played, or no sound device, is said by failed().
    void Play(const std::string& path);
    void Stop();

signals:
    void failed(const QString& reason);

private:
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
};

}  // namespace wa
