#pragma once

#include <windows.h>
#include <bthdef.h>

// The radio event data and device flags of the host's Bluetooth headers that the mingw-w64
// headers lack (or spell differently); the layouts are the host's.

#define BDIF_LE 0x00008000
#define BDIF_LE_PAIRED 0x00010000
#define BDIF_LE_PERSONAL 0x00020000

#define HCI_CONNECTION_TYPE_ACL 1
#define HCI_CONNECTION_TYPE_SCO 2
#define HCI_CONNECTION_TYPE_LE 3

extern "C" {
// GUID_BLUETOOTH_RADIO_OUT_OF_RANGE's data.
typedef struct _BTH_RADIO_OUT_OF_RANGE {
  BTH_ADDR deviceAddress;
} BTH_RADIO_OUT_OF_RANGE, *PBTH_RADIO_OUT_OF_RANGE;

// GUID_BLUETOOTH_HCI_VENDOR_EVENT's data: EventSize bytes of the event follow the size.
typedef struct _BTH_HCI_VENDOR_EVENT_INFO {
  BTH_ADDR BthAddress;
  ULONG EventSize;
  UCHAR EventInfo[1];
} BTH_HCI_VENDOR_EVENT_INFO, *PBTH_HCI_VENDOR_EVENT_INFO;
}
