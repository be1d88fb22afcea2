// Identifiers of the core library's string table.
#pragma once

#define IDS_HOME_DIRECTORY_NOT_FOUND 54
#define IDS_NO_USB_DEVICE 57
