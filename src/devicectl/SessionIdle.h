#pragma once

#include "core/KVPtr.h"
#include "core/MainLoop.h"
#include "devicectl/IdleSource.h"

// The idle time of the session the configurator runs in, and the log says where it comes from: on
// Wayland the compositor's idle-notify protocol, else the desktop's service on the session bus; on X11
// the screen-saver extension. Empty when the session offers none; the keyboard then never counts as idle.
KVPtr<IKVIdleSource> openSessionIdleSource(KVMainLoop& loop);
