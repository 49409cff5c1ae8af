// A desktop notification through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus), spoken with GIO's
// D-Bus: what a sync brought, and a click that opens the save folder where
// the desktop offers actions. No session bus or no service: Send says why and
// nothing else happens.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

typedef struct _GVariant GVariant;

namespace wa {

struct Notification {
    std::string summary;
    std::string body;
    std::string folder;  // opened by a click on it; none when empty
};

struct NotificationSent {
    bool sent = false;
    bool clickable = false;  // the service offers actions: a click opens the folder
    std::string problem;     // why it was not sent, for a log line
};

// Text from the service as a notification shows it: no control or
// direction-changing characters but line breaks, each line and the whole
// bounded, and escaped where the service reads `markup`.
std::string NotificationText(std::string_view text, bool markup);

// Opens `folder` with the desktop's file manager.
void OpenFolderOnDesktop(const std::string& folder);

class Notifier {
public:
    // `open` is called on a click, on the thread whose GLib main context was
    // the thread-default one when Send was called (the window's thread).
    explicit Notifier(std::function<void(const std::string& folder)> open = OpenFolderOnDesktop);
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    NotificationSent Send(const Notification& notification);

private:
    struct Bus;
    // Connects to the session bus once; why not, or empty.
    std::string Connect();
    void OnSignal(const char* signal, GVariant* parameters);

    std::unique_ptr<Bus> bus_;
    std::function<void(const std::string& folder)> open_;
};

}  // namespace wa
