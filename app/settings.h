#pragma once
// Chief header of the application shell: settings, files, waits and the seams that every
// window and routine uses.

#include "app/app_state.h"
#include "app/clock.h"
#include "app/ini_text.h"
#include "app/inifile.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/platform.h"
#include "app/textfile.h"
#include "app/waits.h"
