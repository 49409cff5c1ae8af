// Controls are made as the window design places them: a parent, the design's
// name as objectName, a position and size, and a caption.
#pragma once

#include <QGroupBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <string_view>
#include <type_traits>

namespace wa {

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, int left, int top, int width, int height,
             const QString& caption = {}) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromUtf8(name));
    widget->setGeometry(left, top, width, height);
    if constexpr (std::is_same_v<Widget, QGroupBox>) {
        widget->setTitle(caption);
    } else if constexpr (requires { widget->setText(caption); }) {
        if (!caption.isEmpty()) widget->setText(caption);
    }
    return widget;
}

// How a page writes one option of the settings file; the window says when a
// write fails.
using SettingWriter = std::function<void(std::string_view section, std::string_view key, std::string_view value)>;

}  // namespace wa
