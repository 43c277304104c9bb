#include "db/dnc_database.h"

// Placeholder until the access layer lands.
void ResetDatabaseState() {}
