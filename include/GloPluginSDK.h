// The whole plug-in interface of the Glidora core in one include.
//
// Plug-in libraries include this header and link the core's import library (CMake:
// find_package(GlidoraCore), target GlidoraCore::Core). The life of a plug-in, in order:
//
//   1. load      The core calls the export `CGlo_Application* load(HINSTANCE)` once. It returns
//                the library's application object, derived from CGlo_Plugin (the office
//                navigation functions) or CGlo_PluginThread; either base's constructor starts
//                the worker thread. The object names itself (setName), hands over its function
//                table (setFunctions) and built-in setups (initDefaultConfiguration) and reads
//                its configuration file (deserialize()).
//   2. match     For every event the core asks each plug-in match(window): 0 = not mine, the
//                highest score wins.
//   3. functions CGlo_PluginFunction: name, kind, callback, description texts (GloTextIds.h,
//                or texts of the plug-in's own: GloPluginTexts.h).
//      and setups CGlo_FunctionSetup: which device axes or button run it, polarity, dead zone.
//   4. events    Delivered on the driver's thread, run on the application's worker thread: the
//                multiplexer picks a function and calls it with the event in the function's own
//                axes, every 10 ms while the cap is deflected. A zero event means "stop".
//   5. configuration  serialize() / deserialize() for "<name>.cfg"; setConfiguration at any time.
//                Keep each user's file in %APPDATA%\Glidora and the shipped default beside the
//                library: CGlo_ConfigPaths (GloConfigPaths.h) gives both. A save that a
//                serialize() override refuses or makes itself is reported (reportSave).
//                The core's reader of the file, reporting what becomes of each record (as
//                glo_cfgcheck shows it): GloConfigRecord.h.
//   6. unload    The core stops the worker (the last function hears a zero event), then calls the
//                export `void unload()`, which deletes the application; its destructor calls
//                stopWorkerThread() first.
//
// A new plug-in in five minutes, and what may cross the DLL boundary: docs/plugin-sdk.md.
// GloPluginKit.h builds a whole office plug-in from three tables and a match function; it is not
// included here, since it exports "load" and "unload" and settles where the configuration lives,
// which a plug-in of its own design decides for itself.
#pragma once

#include "GdrConfigFile.h"
#include "GloConfigPaths.h"
#include "GloConfigRecord.h"
#include "GloApplication.h"
#include "GloDLLApplication.h"
#include "GdrProxy.h"
#include "GloEvent.h"
#include "GloEventMultiplexer.h"
#include "GloFunctionSetup.h"
#include "GloLoadedPrograms.h"
#include "GloHWND.h"
#include "GloPlugin.h"
#include "GloPluginFunction.h"
#include "GloPluginTexts.h"
#include "GloPluginThread.h"
#include "GloSaveReport.h"
#include "GloScrollbarFinder.h"
#include "GloTextIds.h"
#include "GloTrigger.h"
#include "GloUserSettings.h"
#include "GloVector2D.h"
#include "GloWindow.h"
#include "GloWindowFromPoint.h"
#include "GloWnd.h"
#include "VexSync.h"
#include "VexThread.h"
#include "ZuVidDriver.h"
