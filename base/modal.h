#pragma once
// Every window opened modally goes through ShowModal, so a test can drive or answer a
// window that another window opens.

#include <functional>

class QDialog;

// Shows the dialog modally and returns its result (QDialog::Accepted or Rejected).
int ShowModal(QDialog& dialog);

// A hook that runs instead of the dialog's own modal loop; it returns the result. An empty
// hook restores the real modal loop. Returns the hook it replaces.
using ModalHook = std::function<int(QDialog&)>;
ModalHook SetModalHook(ModalHook hook);
