// The focus mark: every control that has the focus shows it, however the focus came there.
#pragma once

// The style draws its focus mark (the highlighted frame around a button, a box, a list's current
// line, a check box's or radio button's caption) only in a window where the focus has moved by Tab,
// so a field reached by Enter, or the first control of a window just opened, showed nothing. The
// program moves by Enter and opens its windows on a control: every window draws the mark from the
// moment it is shown. Call once after the application object exists.
void InstallFocusMarks();
