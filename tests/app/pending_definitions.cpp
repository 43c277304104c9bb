// The client attribute records belong to the administration code, which the shared test
// fixture already resets. Until those definitions are part of the build, these stand in;
// they are weak, so the real ones take their place once they are linked.

#include "admin/client_attributes.h"

[[gnu::weak]] ClientModeRecord CurrentClientMode;
[[gnu::weak]] ClientModeRecord ExportClientMode;
