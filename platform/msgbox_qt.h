// Installs the QMessageBox handler of the message box layer.
#pragma once

void InstallQtMessageBoxes();
