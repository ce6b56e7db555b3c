// The value a user typed or chose in an editor's text prompt, handed to the
// control that opened the prompt.
#pragma once

class Control;
class Param;

// GUI thread. An enumerated parameter takes the index of the display text that
// matches (-1 when none does); any other parameter reads the text as a decimal
// number (0 when it holds none). The value is clamped into the parameter's
// range and given to `control` as a typed value. Text that reads as infinite
// or not a number sets nothing; the result says whether a value was set.
bool CommitTypedText(Control* control, Param* param, const char* text);
