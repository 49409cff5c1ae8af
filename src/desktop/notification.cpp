#include "desktop/notification.h"

#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "util/text.h"

namespace wa {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
constexpr const char* kOpenAction = "default";  // a click on the notification itself

// The session bus's address; a timer's job may have no DBUS_SESSION_BUS_ADDRESS
// but the user's bus is still at /run/user/<uid>/bus.
std::string SessionBusAddress() {
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address) {
        std::string found = address;
        g_free(address);
        return found;
    }
    g_clear_error(&error);
    const std::string path = "/run/user/" + std::to_string(::getuid()) + "/bus";
    return ::access(path.c_str(), F_OK) == 0 ? "unix:path=" + path : "";
}

std::string Message(GError* error) {
    std::string text = error ? error->message : "";
    g_clear_error(&error);
    return text;
}

// What the notification service offers ("actions", "body-markup", ...); none
// when it does not answer.
std::optional<std::vector<std::string>> Capabilities(GDBusConnection* connection, GError** error) {
    GVariant* reply = g_dbus_connection_call_sync(connection, kService, kPath, kInterface, "GetCapabilities", nullptr,
                                                  G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, error);
    if (!reply) return std::nullopt;
    std::vector<std::string> found;
    const gchar** names = nullptr;
    g_variant_get(reply, "(^a&s)", &names);
    for (const gchar** name = names; name && *name; ++name) found.emplace_back(*name);
    g_free(names);
    g_variant_unref(reply);
    return found;
}

constexpr std::size_t kLineBytes = 300;    // a line of a notification at most
constexpr std::size_t kBodyBytes = 2000;   // a notification's body at most

bool Invisible(char32_t c) {
    return (c < 0x20 && c != '\n') || (c >= 0x7F && c < 0xA0) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

std::string Bounded(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    return std::string(CutToBytes(text, limit - 3)) + "…";
}

}  // namespace

std::string NotificationText(std::string_view text, bool markup) {
    std::string lines;
    std::string line;
    const auto end_line = [&] {
        lines += Bounded(std::move(line), kLineBytes);
        line.clear();
    };
    for (char32_t c : Utf8ToUtf32(text)) {
        if (c == '\t') c = ' ';
        if (c == '\n') {
            end_line();
            lines += '\n';
        } else if (!Invisible(c)) {
            AppendUtf8(line, c);
        }
    }
    end_line();
    lines = Bounded(std::move(lines), kBodyBytes);
    if (!markup) return lines;
    gchar* escaped = g_markup_escape_text(lines.data(), static_cast<gssize>(lines.size()));
    std::string text_escaped = escaped;
    g_free(escaped);
    return text_escaped;
}

struct Notifier::Bus {
    GDBusConnection* connection = nullptr;
    guint subscription = 0;
    std::uint32_t shown = 0;  // the id of the last notification sent
    std::string folder;       // what a click on it opens

    ~Bus() {
        if (connection && subscription) g_dbus_connection_signal_unsubscribe(connection, subscription);
        if (connection) {
            g_dbus_connection_close_sync(connection, nullptr, nullptr);
            g_object_unref(connection);
        }
    }
};

void OpenFolderOnDesktop(const std::string& folder) {
    gchar* uri = g_filename_to_uri(folder.c_str(), nullptr, nullptr);
    if (!uri) return;
    g_app_info_launch_default_for_uri(uri, nullptr, nullptr);
    g_free(uri);
}

Notifier::Notifier(std::function<void(const std::string& folder)> open) : open_(std::move(open)) {}

Notifier::~Notifier() = default;

// The service's signals about the last notification sent: clicked (an
// action) or closed.
void Notifier::OnSignal(const char* signal, GVariant* parameters) {
    guint32 id = 0;
    const gchar* action = nullptr;
    if (g_str_equal(signal, "ActionInvoked")) g_variant_get(parameters, "(u&s)", &id, &action);
    guint32 reason = 0;
    if (g_str_equal(signal, "NotificationClosed")) g_variant_get(parameters, "(uu)", &id, &reason);
    if (!bus_ || id != bus_->shown || id == 0) return;
    if (action && g_str_equal(action, kOpenAction) && !bus_->folder.empty() && open_) open_(bus_->folder);
}

std::string Notifier::Connect() {
    if (bus_) return {};
    const std::string address = SessionBusAddress();
    if (address.empty()) return "没有会话总线";
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!connection) return "无法连接会话总线（" + Message(error) + "）";
    bus_ = std::make_unique<Bus>();
    bus_->connection = connection;
    // Signals come to the main context of this thread: the window's loop.
    bus_->subscription = g_dbus_connection_signal_subscribe(
        connection, kService, kInterface, nullptr, kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal, GVariant* parameters,
           gpointer self) { static_cast<Notifier*>(self)->OnSignal(signal, parameters); },
        this, nullptr);
    return {};
}

NotificationSent Notifier::Send(const Notification& notification) {
    NotificationSent sent;
    if (std::string problem = Connect(); !problem.empty()) return sent.problem = std::move(problem), sent;
    GError* error = nullptr;
    const std::optional<std::vector<std::string>> capabilities = Capabilities(bus_->connection, &error);
    if (!capabilities) return sent.problem = "没有桌面通知服务（" + Message(error) + "）", sent;
    const auto offers = [&](std::string_view name) {
        return std::find(capabilities->begin(), capabilities->end(), name) != capabilities->end();
    };
    sent.clickable = offers("actions") && !notification.folder.empty();
    // The summary is plain text everywhere; the body is markup where offered.
    std::string summary = NotificationText(notification.summary, false);
    std::replace(summary.begin(), summary.end(), '\n', ' ');
    summary = Bounded(std::move(summary), kLineBytes);
    const std::string body = NotificationText(notification.body, offers("body-markup"));

    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (sent.clickable) {
        g_variant_builder_add(&actions, "s", kOpenAction);
        g_variant_builder_add(&actions, "s", "打开保存文件夹");
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("weibo-albums"));
    GVariant* reply = g_dbus_connection_call_sync(
        bus_->connection, kService, kPath, kInterface, "Notify",
        g_variant_new("(susssasa{sv}i)", "weibo-albums", 0u, "weibo-albums", summary.c_str(), body.c_str(), &actions, &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (!reply) return sent.problem = "桌面通知发送失败（" + Message(error) + "）", sent;
    guint32 id = 0;
    g_variant_get(reply, "(u)", &id);
    g_variant_unref(reply);
    bus_->shown = id;
    bus_->folder = notification.folder;
    sent.sent = true;
    return sent;
}

}  // namespace wa
