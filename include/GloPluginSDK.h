// The whole plug-in interface of the Glidora core in one include.
//
// Plug-in libraries include this header and link the core's import library.
#pragma once

#include "GdrConfigFile.h"
#include "GloApplication.h"
#include "GloDLLApplication.h"
#include "GdrProxy.h"
#include "GloEvent.h"
#include "GloEventMultiplexer.h"
#include "GloFunctionSetup.h"
#include "GloHWND.h"
#include "GloPlugin.h"
#include "GloPluginFunction.h"
#include "GloPluginThread.h"
#include "GloScrollbarFinder.h"
#include "GloTrigger.h"
#include "GloVector2D.h"
#include "GloWindow.h"
#include "GloWnd.h"
#include "VexSync.h"
#include "VexThread.h"
#include "ZuVidDriver.h"
