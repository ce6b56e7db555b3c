// X11Connection: each editor window talks to the X server over a connection of
// its own, so that it never touches the host's connection or its event queue.
// X errors on these connections are expected (the host may destroy the window
// we live in before it closes the editor) and must never end the host: one
// process-wide error handler, installed while any of our connections is open,
// records errors on our connections and passes every other connection's errors
// to the handler that was there before. A connection that breaks (the server
// went away) is marked broken instead of ending the process, likewise.
#pragma once

#include <X11/Xlib.h>

namespace x11 {

// GUI thread. A new connection to the default display, or null when none can
// be opened.
Display* OpenConnection();
// GUI thread. Closes a connection from OpenConnection; errors still in flight
// are absorbed.
void CloseConnection(Display* display);
// GUI thread. The code of the first X error on `display` since the last call
// (0: none), after waiting for the server to answer everything sent so far.
int TakeError(Display* display);
// Whether the connection broke (the server went away); a broken connection
// must not be used again, only closed.
bool IsBroken(Display* display);

}  // namespace x11
