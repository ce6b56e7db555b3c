// Files and documents on Windows, shared by every window layer of this
// platform: the folders of the host's executable and of the plug-in module,
// and opening a document or web address with the shell's "open" verb.
#pragma once

class TextBuffer;

// GUI thread. The folder of the host's executable (`moduleHandle` null) or of
// the module whose handle is given, up to and including its last backslash;
// empty when the name cannot be read, has no backslash or ends with one.
void SetModuleFolder(TextBuffer& out, void* moduleHandle);

// GUI thread. Asks the shell to open `target` (a file or an address); true when
// the shell reports success.
bool ShellOpenTarget(const char* target);
