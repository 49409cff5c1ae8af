// The keys that go through a window's pages from anywhere in it, the web
// page included.
#pragma once

#include <functional>

class QWidget;

namespace wa {

// Ctrl+Tab and Ctrl+PageDown call `step` with 1, Ctrl+Shift+Tab and
// Ctrl+PageUp with -1, as do every binding the desktop has for the next and
// the previous child window.
void AddPageStepKeys(QWidget* window, std::function<void(int step)> step);

}  // namespace wa
