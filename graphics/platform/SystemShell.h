// SystemShell: what every window layer asks of the operating system rather
// than of its window system: the folders of the host's program and of this
// module, and handing a document or web address to the desktop's opener.
#pragma once

class TextBuffer;

// GUI thread. The folder of the host's executable, ending with its separator;
// empty when it cannot be read.
void ReadHostFolder(TextBuffer& out);
// GUI thread. The folder of this module's file, ending with its separator;
// empty when it cannot be read.
void ReadModuleFolder(TextBuffer& out);
// GUI thread. Asks the desktop to open a file or web address and returns at
// once; false when the request could not be made (empty target, no opener).
bool ShellOpenTarget(const char* target);
