// Resource identifiers of "RingDeck Virtual Controller.exe".
#pragma once

#define IDI_CONTROLLER 1
#define IDB_DEVICE 101
#define IDB_MASK 102
#define IDB_HIGHLIGHT0 110  // buttons 1..13, the jog, the ring: 110 .. 124
#define IDR_MENU 200
#define IDM_PLUG 201
#define IDM_UNPLUG 202
#define IDM_SECOND 203
#define IDM_CLOSE 204
