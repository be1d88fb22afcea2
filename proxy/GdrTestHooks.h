// Seams through which the proxy's tests watch what reaches the plug-in host.
#pragma once

#include "GloExport.h"

// Called with the arguments of every dispatch to the plug-in host, just before it.
typedef void (*GdrDispatchObserver)(int x, int y, int z, int a, int b, int c, int button,
                                    int state);
GLO_API void gdrSetDispatchObserver(GdrDispatchObserver observer);
