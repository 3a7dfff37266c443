#pragma once

#include <QLoggingCategory>

// A few marks of the start, with the milliseconds since the first, on
// standard error; off unless QT_LOGGING_RULES="tarnwick.startup.debug=true".
// bench/startup waits for "first paint".
Q_DECLARE_LOGGING_CATEGORY(lcStartup)

namespace tarnwick::gui
{

void startupMark(const char* what);

} // namespace tarnwick::gui
