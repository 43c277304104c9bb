#pragma once
// Chief header of the base: settings, files, waits and the seams that every window and
// routine uses.

#include "base/app_state.h"
#include "base/clock.h"
#include "base/ini_text.h"
#include "base/inifile.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/textfile.h"
#include "base/waits.h"
