#include "db/dnc_database.h"

DatabaseConnection DncConnection;
