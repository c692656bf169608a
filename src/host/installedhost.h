// The host the zarn layer reaches without being handed one: the program and
// the command line install theirs here for it. Temporary: the zarn engine
// context takes its host as a member and replaces this slot.
#pragma once
#include "host/host.h"

// The installed host. The reference stays valid for the whole process:
// every call goes to the host installed at the time of the call (a silent
// one while none is), so an object that keeps the reference never calls a
// host that is gone.
Host& TheHost();
// Installs `h` (not owned); nullptr restores the silent host.
void SetHost(Host* h);
