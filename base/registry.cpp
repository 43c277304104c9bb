#include "base/platform.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <cstring>

std::optional<QString> ReadLocalMachineRegistryValue(const QString& keyPath,
                                                     const QString& valueName) {
    HKEY key = nullptr;
    // Read access is all a read needs; asking for more fails for ordinary users.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(keyPath.utf16()), 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t buffer[512] = {};  // 1024 bytes
    DWORD type = 0;
    DWORD size = sizeof buffer;
    const LONG status = RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(valueName.utf16()), nullptr,
                                         &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            // Without the terminating zero (a stored value may or may not carry one).
            const qsizetype units = qsizetype(size / sizeof(wchar_t));
            qsizetype length = 0;
            while (length < units && buffer[length] != L'\0') {
                ++length;
            }
            return QString::fromWCharArray(buffer, length);
        }
        case REG_DWORD:
            if (size >= sizeof(DWORD)) {
                DWORD value = 0;
                std::memcpy(&value, buffer, sizeof value);
                return QString::number(value);
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

#else

std::optional<QString> ReadLocalMachineRegistryValue(const QString&, const QString&) {
    return std::nullopt;
}

#endif
