// Installs the QMessageBox handler of the message box layer.
#pragma once

// With the environment variable PELMORAS_MSGLOG set to a file, messages are not shown but appended
// to that file, one per line, and answered with the safe button (automation and program tests).
void InstallQtMessageBoxes();
