// The suite's version, shared by every program's VERSIONINFO resource (the resource compiler
// reads this file too, so it holds preprocessor definitions only).
#pragma once

#define RINGDECK_VERSION_MAJOR 1
#define RINGDECK_VERSION_MINOR 0
#define RINGDECK_VERSION_PATCH 0
#define RINGDECK_VERSION_BUILD 0
#define RINGDECK_VERSION_TEXT "1.0.0.0"
#define RINGDECK_COMPANY "Orvanel"
#define RINGDECK_PRODUCT "Orvanel RingDeck"
#define RINGDECK_COPYRIGHT "Copyright (C) Orvanel"
