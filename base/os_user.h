#pragma once
// The operating system's name for the user running the program.

#include <QString>

// The login name ("" when the system does not say).
QString OsUserName();
