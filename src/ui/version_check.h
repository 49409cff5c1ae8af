// Asks the maker's version page for the newest published version, on a
// worker, and shows the answer on the about page.
#pragma once

#include <QObject>

#include <string>

namespace wa {

class AboutPage;
class TaskRunner;

// The newest version a version page names between its "#weibo@@" and
// "#weibo" marks; empty when it names none.
std::string NewestVersionOn(const std::string& page);
// True when `newest` is a later version than `running`.
bool IsNewerVersion(const std::string& newest, const std::string& running);

class VersionChecker : public QObject {
    Q_OBJECT

public:
    VersionChecker(AboutPage* page, TaskRunner& tasks, QObject* parent);
    void Check();
    // Checks the first time it is called: the first visit to the settings.
    void CheckFirstTime();

signals:
    void newVersionFound();

private:
    AboutPage* page_;
    TaskRunner& tasks_;
    bool checked_ = false;
};

}  // namespace wa
