#include "ui/skin.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QFileInfo>

namespace wa {
namespace {

// One template, 33 palettes: an accent hue per skin, every third a dark one.
constexpr const char* kTemplate = R"(
QWidget { font-family: "Noto Sans CJK SC", "WenQuanYi Micro Hei", sans-serif; }
QWidget#MainWindow, QWidget#page { background: %BG%; color: %TEXT%; }
QTabBar::tab { background: %TAB%; color: %TEXT%; border: 1px solid %BORDER%; padding: 5px 10px; margin-right: 2px;
               border-top-left-radius: 4px; border-top-right-radius: 4px; }
QTabBar::tab:selected { background: %ACCENT%; color: white; }
QTabBar::tab:hover:!selected { background: %HOVER%; border-color: %ACCENT%; }
QGroupBox { border: 1px solid %BORDER%; border-radius: 4px; margin-top: 8px; background: %PANEL%; color: %TEXT%; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: %ACCENT%; }
QPushButton { background: %BUTTON%; color: %TEXT%; border: 1px solid %BORDER%; border-radius: 3px; padding: 3px 4px; }
QPushButton:hover { background: %HOVER%; border-color: %ACCENT%; }
QPushButton:pressed { background: %ACCENT_DARK%; color: white; }
QPushButton:focus { border: 1px solid %ACCENT%; }
QMessageBox QLabel#qt_msgbox_label { min-width: 220px; }
QLineEdit, QPlainTextEdit, QDateTimeEdit, QTreeWidget { background: %FIELD%; color: %TEXT%;
               border: 1px solid %BORDER%; border-radius: 2px; selection-background-color: %ACCENT%; }
QHeaderView::section { background: %TAB%; color: %TEXT%; border: 0; border-right: 1px solid %BORDER%; padding: 3px; }
QProgressBar { border: 1px solid %BORDER%; border-radius: 3px; background: %FIELD%; text-align: center; }
QProgressBar::chunk { background: %ACCENT%; }
QLabel, QCheckBox, QRadioButton { color: %TEXT%; background: transparent; }
QCheckBox::indicator, QRadioButton::indicator, QTreeView::indicator {
               width: 13px; height: 13px; border: 1px solid %BORDER_DARK%; background: %FIELD%; }
QCheckBox::indicator, QTreeView::indicator { border-radius: 2px; }
QTreeView::indicator:checked { background: %ACCENT%; border-color: %ACCENT%; image: url(:/check.png); }
QRadioButton::indicator { border-radius: 6px; }
QCheckBox::indicator:checked { background: %ACCENT%; border-color: %ACCENT%; image: url(:/check.png); }
QRadioButton::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5,
                               stop:0 %ACCENT%, stop:0.5 %ACCENT%, stop:0.6 %FIELD%); border-color: %ACCENT%; }
QCheckBox::indicator:hover, QRadioButton::indicator:hover { border-color: %ACCENT%; }
QLabel#标签_用户 { color: #d00000; font-weight: bold; }
QLabel#标签_动态 { color: #0050d0; }
)";

// Whatever the skin: the tab bar holding the focus marks its current tab, a
// message box's icon takes only its own room (skins written before set a
// least width on every label of a message box), and a scroll bar's handle
// stands out from its trough at any scale.
constexpr const char* kFixedRules = R"(
QTabBar::tab:focus { text-decoration: underline; border-width: 2px; border-style: dotted; }
QMessageBox QLabel#qt_msgboxex_icon_label { min-width: 0px; }
QScrollBar:vertical { width: 14px; margin: 0; border: 0; background: rgba(128, 128, 128, 40); }
QScrollBar:horizontal { height: 14px; margin: 0; border: 0; background: rgba(128, 128, 128, 40); }
QScrollBar::handle:vertical { min-height: 28px; margin: 2px 3px; border-radius: 4px; background: rgba(70, 70, 70, 170); }
QScrollBar::handle:horizontal { min-width: 28px; margin: 3px 2px; border-radius: 4px; background: rgba(70, 70, 70, 170); }
QScrollBar::handle:hover { background: rgba(40, 40, 40, 220); }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
)";

}  // namespace

QString BuiltInSkin(int number) {
    if (number < 1 || number > kSkinCount) return {};
    const int hue = (number * 47) % 360;
    const bool dark = number % 3 == 0;
    const QColor accent = QColor::fromHsl(hue, 150, dark ? 120 : 110);
    const auto tone = [hue](int saturation, int lightness) { return QColor::fromHsl(hue, saturation, lightness).name(); };
    QString sheet = QString::fromUtf8(kTemplate);
    sheet.replace("%ACCENT_DARK%", accent.darker(130).name());
    sheet.replace("%ACCENT%", accent.name());
    sheet.replace("%HOVER%", dark ? tone(40, 85) : tone(70, 215));
    sheet.replace("%BG%", dark ? tone(20, 40) : tone(30, 240));
    sheet.replace("%PANEL%", dark ? tone(20, 48) : tone(25, 248));
    sheet.replace("%TAB%", dark ? tone(20, 60) : tone(40, 225));
    sheet.replace("%BUTTON%", dark ? tone(20, 70) : tone(30, 235));
    sheet.replace("%FIELD%", dark ? tone(10, 30) : QString("#ffffff"));
    sheet.replace("%BORDER_DARK%", dark ? tone(20, 140) : tone(30, 120));
    sheet.replace("%BORDER%", dark ? tone(20, 90) : tone(30, 190));
    sheet.replace("%TEXT%", dark ? QString("#eeeeee") : QString("#202020"));
    return sheet;
}

QString SkinFilePath(const QString& program_folder) { return program_folder + "/.weibo-albums-skin.qss"; }

void ApplySkin(QApplication& app, const QString& program_folder, int number) {
    const QString path = SkinFilePath(program_folder);
    QString sheet = BuiltInSkin(number);
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(sheet.toUtf8());  // a dot file is hidden here
    } else if (QFile file(path); file.open(QIODevice::ReadOnly)) {
        sheet = QString::fromUtf8(file.readAll());
    }
    app.setStyleSheet(sheet + QString::fromUtf8(kFixedRules));
}

}  // namespace wa
