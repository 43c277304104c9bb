#include "base/platform.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include "base/x11_windows.h"
#endif

#ifdef Q_OS_WIN

quintptr SystemFindWindowByTitle(const QString& title) {
    const QByteArray text = title.toLocal8Bit();
    return reinterpret_cast<quintptr>(FindWindowA(nullptr, text.constData()));
}

#else

namespace {

// The headless platforms show no windows on any display; the X display, if there is one,
// belongs to someone else.
bool HeadlessPlatform() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM").split(':').constFirst().trimmed();
    return platform == "offscreen" || platform == "minimal";
}

}  // namespace

quintptr SystemFindWindowByTitle(const QString& title) {
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty() || HeadlessPlatform()) {
        return 0;
    }
    return FindX11WindowByTitle(display, title);
}

#endif
