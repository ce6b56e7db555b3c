// FakeNotVst: an ordinary shared library with no VST 2 entry point.
#include "FakeExport.h"

FAKE_EXPORT int FakeNotVstAnswer() { return 42; }
