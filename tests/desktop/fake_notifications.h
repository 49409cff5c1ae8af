// A notification daemon of the test's own on a private session bus: what it
// was asked to show, and a user's click on it.
#pragma once

#include <gio/gio.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wa::test {

// A session bus of the test's own for as long as it lives; the process's
// DBUS_SESSION_BUS_ADDRESS points at it meanwhile.
class PrivateSessionBus {
public:
    PrivateSessionBus() : bus_(g_test_dbus_new(G_TEST_DBUS_NONE)) { g_test_dbus_up(bus_); }
    ~PrivateSessionBus() {
        g_test_dbus_down(bus_);
        g_object_unref(bus_);
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

private:
    GTestDBus* bus_;
};

inline constexpr const char* kIntrospection =
    "<node><interface name='org.freedesktop.Notifications'>"
    "<method name='GetCapabilities'><arg type='as' direction='out'/></method>"
    "<method name='Notify'><arg type='s'/><arg type='u'/><arg type='s'/><arg type='s'/><arg type='s'/>"
    "<arg type='as'/><arg type='a{sv}'/><arg type='i'/><arg type='u' direction='out'/></method>"
    "<signal name='ActionInvoked'><arg type='u'/><arg type='s'/></signal>"
    "<signal name='NotificationClosed'><arg type='u'/><arg type='u'/></signal>"
    "</interface></node>";

// A notification daemon on the bus, on a thread and main loop of its own.
class FakeNotificationService {
public:
    struct Shown {
        std::string summary;
        std::string body;
        std::vector<std::string> actions;
    };

    // `actions`: a click can be answered; `markup`: the body is read as markup.
    explicit FakeNotificationService(bool actions, bool markup = false) : actions_(actions), markup_(markup) {
        thread_ = std::thread([this] { Serve(); });
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return owned_; });
    }
    ~FakeNotificationService() {
        g_main_context_invoke(context_, [](gpointer loop) { g_main_loop_quit(static_cast<GMainLoop*>(loop)); return G_SOURCE_REMOVE; },
                              loop_);
        thread_.join();
    }
    std::vector<Shown> shown() {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    // The user clicks the notification `id`.
    void Click(guint32 id) {
        GError* error = nullptr;
        g_dbus_connection_emit_signal(connection_, nullptr, "/org/freedesktop/Notifications",
                                      "org.freedesktop.Notifications", "ActionInvoked",
                                      g_variant_new("(us)", id, "default"), &error);
        g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
        g_clear_error(&error);
    }

private:
    void Serve() {
        context_ = g_main_context_new();
        g_main_context_push_thread_default(context_);
        loop_ = g_main_loop_new(context_, FALSE);
        // A connection of its own: the name goes with it when it closes.
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        connection_ = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
        static const GDBusInterfaceVTable vtable = {
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant* parameters,
               GDBusMethodInvocation* invocation, gpointer data) {
                auto* self = static_cast<FakeNotificationService*>(data);
                if (g_str_equal(method, "GetCapabilities")) {
                    std::vector<const gchar*> offered{"body"};
                    if (self->actions_) offered.push_back("actions");
                    if (self->markup_) offered.push_back("body-markup");
                    offered.push_back(nullptr);
                    g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", offered.data()));
                    return;
                }
                const gchar *summary = nullptr, *body = nullptr;
                GVariantIter* actions = nullptr;
                g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", nullptr, nullptr, nullptr, &summary, &body, &actions,
                              nullptr, nullptr);
                Shown shown{summary, body, {}};
                const gchar* action = nullptr;
                while (g_variant_iter_next(actions, "&s", &action)) shown.actions.emplace_back(action);
                g_variant_iter_free(actions);
                {
                    std::lock_guard lock(self->mutex_);
                    self->shown_.push_back(shown);
                }
                g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", 41u));
            },
            nullptr, nullptr, {}};
        g_dbus_connection_register_object(connection_, "/org/freedesktop/Notifications", node->interfaces[0], &vtable,
                                          this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        g_bus_own_name_on_connection(
            connection_, "org.freedesktop.Notifications", G_BUS_NAME_OWNER_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, gpointer data) {
                auto* self = static_cast<FakeNotificationService*>(data);
                std::lock_guard lock(self->mutex_);
                self->owned_ = true;
                self->ready_.notify_all();
            },
            nullptr, this, nullptr);
        g_main_loop_run(loop_);
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
        g_main_loop_unref(loop_);
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }

    bool actions_;
    bool markup_;
    std::thread thread_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    std::mutex mutex_;
    std::condition_variable ready_;
    bool owned_ = false;
    std::vector<Shown> shown_;
};

}  // namespace wa::test
