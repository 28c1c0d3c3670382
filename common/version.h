// The suite's version, shared by every program's VERSIONINFO and code (plain macros, so that the
// resource compiler reads it too).
#pragma once

#define RINGDECK_VERSION_MAJOR 1
#define RINGDECK_VERSION_MINOR 0
#define RINGDECK_VERSION_PATCH 0
#define RINGDECK_VERSION_BUILD 0
#define RINGDECK_VERSION_TEXT "1.0.0.0"
#define RINGDECK_PRODUCT_NAME "Orvanel RingDeck"
