// The whole plug-in interface of the Glidora core in one include.
//
// Plug-in libraries include this header and link the core's import library.
#pragma once

#include "GloEvent.h"
#include "GloEventMultiplexer.h"
#include "GloFunctionSetup.h"
#include "GloHWND.h"
#include "GloPluginFunction.h"
#include "GloTrigger.h"
#include "GloVector2D.h"
#include "GloWindow.h"
#include "VexSync.h"
#include "VexThread.h"
