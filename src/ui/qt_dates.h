// The engine's date-time and Qt's, both without a zone.
#pragma once

#include <QDateTime>

#include "util/date_time.h"

namespace wa {

inline QDateTime ToQt(const DateTime& v) {
    return QDateTime(QDate(v.year, v.month, v.day), QTime(v.hour, v.minute, v.second));
}

inline DateTime FromQt(const QDateTime& v) {
    return {v.date().year(), v.date().month(), v.date().day(), v.time().hour(), v.time().minute(), v.time().second()};
}

}  // namespace wa
