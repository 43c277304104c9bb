// The test fixtures reset the client records, which the administration code defines. Until
// that code is on this branch these weak definitions stand in; the real ones win the link.

#include "admin/client_attributes.h"

__attribute__((weak)) ClientModeRecord CurrentClientMode;
__attribute__((weak)) ClientModeRecord ExportClientMode;
