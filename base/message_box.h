#pragma once
// The message seam's handler for a running program: a real QMessageBox.

#include "base/messages.h"

MsgAnswer ShowMessageBox(const MessageRequest& request);

// Installs ShowMessageBox as the handler of ShowMessage.
void InstallMessageBoxHandler();
