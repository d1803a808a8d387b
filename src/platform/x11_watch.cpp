// Xlib tells of a broken connection to the X server only through its I/O error handler, which must
// not return. Its default prints a line and calls exit(), whose clean-up may wait forever on the
// connection's own lock; ours ends the program without touching the display again.
#include "platform/sys_local.h"

#include <X11/Xlib.h>

namespace {

int OnBrokenConnection(Display* display) { Sys_EndForLostDisplay(DisplayString(display)); }

}  // namespace

void Sys_WatchX11Connection() { XSetIOErrorHandler(OnBrokenConnection); }
