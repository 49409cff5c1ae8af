// The window's look: 33 built-in style sheets. The chosen one is written
// beside the program as a hidden file when none is there, and the file is
// used as found, so a user can edit it.
#pragma once

#include <QString>

class QApplication;

namespace wa {

inline constexpr int kSkinCount = 33;

// The style sheet of built-in skin `number` (1 to 33); empty for any other.
QString BuiltInSkin(int number);

// The skin file beside the program.
QString SkinFilePath(const QString& program_folder);

// Makes sure the skin file exists (writing skin `number` when it does not)
// and applies its style sheet; a file that cannot be written or read leaves
// the built-in skin applied.
void ApplySkin(QApplication& app, const QString& program_folder, int number);

}  // namespace wa
