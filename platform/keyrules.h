// The keyboard rules every window of the program shares, whatever its own key handling.
#pragma once

// Installs, once the application object exists, the rules that hold in every window:
// - Enter (either key, no modifier) on a focused push button presses that button, as Space does;
//   whether the button is a dialog's default button or not, and whatever the window does with
//   Enter elsewhere.
// - A key chord with Alt, Ctrl or Meta that no shortcut and no control takes types nothing: a text
//   field, list or window sees it without its character, and an unused Alt+letter beeps. Only
//   menus keep the character, which they match their items' letters against.
void InstallKeyRules();
