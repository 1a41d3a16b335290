// Qt's own file dialogs as the program shows them.
#pragma once

// Qt sizes the columns of a file dialog's detail view for English sample texts ("128.88 GB",
// "10/29/81 02:02PM"), which cuts the Japanese sizes, types and dates ("20.…KiB", "2026/1… 13:24").
// Every file dialog of the program sizes its size, type and date columns to their contents and
// gives the name the rest. Call once after the application object exists.
void InstallFileDialogColumns();
