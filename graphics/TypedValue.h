// TypedValue: what a text prompt over a control does with the text the user
// confirmed, the same in every window layer.
#pragma once

class Control;
class Param;

// GUI thread. A display text of an enumerated parameter (-1 when none
// matches), otherwise a decimal number read by the C library's rules (0 for a
// text without one), clamped into the parameter's range and handed to the
// control. A number that is not finite ("inf", "nan") sets nothing.
void CommitTypedText(Control* control, Param* param, const char* text);
