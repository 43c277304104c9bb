#include "app/platform.h"

// Placeholder until the window look-up lands.
quintptr SystemFindWindowByTitle(const QString&) { return 0; }

std::optional<QString> ReadLocalMachineRegistryValue(const QString&, const QString&) {
    return std::nullopt;
}
