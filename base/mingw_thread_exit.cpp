// Linked into every Windows program of ours built with MinGW. There a thread's thread_local
// objects may be destroyed after their storage was already freed (mingw-w64's emulated TLS),
// and Qt keeps the JIT stack of its regular expressions in one: a thread that ran a pattern
// through the JIT crashes as it ends (the folder tree's network listing does). Without the JIT,
// patterns run in PCRE2's interpreter and never touch that object.

#include <QByteArray>
#include <QtGlobal>

namespace {

[[maybe_unused]] const bool kRegexJitOff = [] {
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_REGEXP_JIT")) {
        qputenv("QT_ENABLE_REGEXP_JIT", QByteArray("0"));
    }
    return true;
}();

}  // namespace
