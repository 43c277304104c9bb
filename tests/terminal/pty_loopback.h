#pragma once
// Kept for the terminal benchmark: the loopback lives with the shared rigs.
#include "tests/support/pty_pair.h"
