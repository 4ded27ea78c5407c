// Resource identifiers of the installer executable.
#pragma once

#define IDI_APP_ICON 101
#define IDR_SKIN_ZIP 102
#define IDR_CA_BUNDLE 104
#define IDR_CHANNEL_FILE 152
