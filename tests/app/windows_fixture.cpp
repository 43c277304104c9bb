#include "tests/app/windows_fixture.h"

std::unique_ptr<TempInstallation> MakeInstallation(const char* settings) {
    TempInstallation::Options options;
    if (settings) {
        options.settings = CrLf(settings);
    }
    return std::make_unique<TempInstallation>(options);
}

QByteArray CrLf(const char* text) {
    QByteArray bytes(text);
    bytes.replace("\n", "\r\n");
    return bytes;
}
