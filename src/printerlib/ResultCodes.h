#pragma once

namespace tavlo::printerlib {

// What the library's device operations answer.
enum ResultCode : long {
    OVL_SUCCESS = 0,
    SOCKET_ERROR = -1,            // not connected (receive primitives) or transport failure
    OVL_STS_ERROR = 32,           // printer state not normal, or a reply did not match
    OVL_OTHERPTR_OPENED = 100,    // another printer is open
    OVL_NOT_OPENED = 101,         // cover open, or not available in the base
    OVL_STATUS_ERROR = 103,       // wrong connection mode, status check failed
    OVL_CONNECT_ERROR = 105,      // the per-command connection could not be opened
    OVL_NOT_SUPPORT = 107,        // the model does not offer the operation
    OVL_BAD_ARGMENT = 108,        // an argument is out of range
    OVL_BUFFER_ERROR = 109,       // the caller's buffer is too small
    OVL_RGBA_ERROR = 111,         // the image could not be turned into pixels
    OVL_NOT_CONNECTED = 110,      // the printer is not connected
    OVL_MEMORY_ERROR = 112,       // a buffer could not be allocated
    OVL_TOO_LARGE_IMAGE = 113,    // the image is too large for the printer's memory
    OVL_NOT_SUPPORT_DEVICE = 114, // the device has no such part
    OVL_WRITE_ERROR = 300,        // the command could not be sent whole
    OVL_READ_ERROR = 301,         // the printer did not answer
    OVL_BITMAPLOAD_ERROR = 400,   // the image file could not be loaded
    OVL_BC_DATA_ERROR = 500,      // barcode data not valid
    OVL_BC_NOT_SUPPORT = 501,     // barcode symbology not supported
};

// Bits of a printer's state; 0 is the normal state.
enum PrinterState : long {
    OVL_STS_NORMAL = 0,
    OVL_STS_PAPER_EMPTY = 0x001,
    OVL_STS_COVER_OPEN = 0x002,
    OVL_STS_ERROR_BIT = 0x020, // set by the families' status checks
    OVL_STS_PRINTER_ERROR = 0x080,
    OVL_STS_OFFLINE = 0x100,
    OVL_STS_DRAWER_OPEN = 0x200,
};

} // namespace tavlo::printerlib
