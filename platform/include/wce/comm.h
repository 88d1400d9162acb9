// Serial ports: "COM1:" to "COM9:" opened with CreateFileW, each mapped to
// a host terminal by the device setting DEVICE_COMn (a path such as
// /dev/ttyUSB0). ReadFile and WriteFile on a port follow its COMMTIMEOUTS.
#pragma once

#include "wce/types.h"

struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBits;  // fBinary:1 fParity:1 fOutxCtsFlow:1 fOutxDsrFlow:1 fDtrControl:2 ... (Win32 order)
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};
static_assert(sizeof(DCB) == 28, "DCB layout");
static_assert(offsetof(DCB, ByteSize) == 18, "DCB layout");

// Bits of DCB::fBits.
enum : DWORD {
  DCB_fBinary = 1u << 0,
  DCB_fParity = 1u << 1,
  DCB_fOutxCtsFlow = 1u << 2,
  DCB_fOutxDsrFlow = 1u << 3,
  DCB_fDtrControlShift = 4,  // two bits
  DCB_fDsrSensitivity = 1u << 6,
  DCB_fTXContinueOnXoff = 1u << 7,
  DCB_fOutX = 1u << 8,
  DCB_fInX = 1u << 9,
  DCB_fErrorChar = 1u << 10,
  DCB_fNull = 1u << 11,
  DCB_fRtsControlShift = 12,  // two bits
  DCB_fAbortOnError = 1u << 14,
};

enum : BYTE {
  NOPARITY = 0,
  ODDPARITY = 1,
  EVENPARITY = 2,
  MARKPARITY = 3,
  SPACEPARITY = 4,
  ONESTOPBIT = 0,
  ONE5STOPBITS = 1,
  TWOSTOPBITS = 2,
};

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};
static_assert(sizeof(COMMTIMEOUTS) == 20, "COMMTIMEOUTS layout");

struct COMSTAT {
  DWORD fBits;  // fCtsHold:1 fDsrHold:1 fRlsdHold:1 fXoffHold:1 fXoffSent:1 fEof:1 fTxim:1
  DWORD cbInQue;
  DWORD cbOutQue;
};
static_assert(sizeof(COMSTAT) == 12, "COMSTAT layout");

enum : DWORD {
  CE_RXOVER = 0x1,
  CE_OVERRUN = 0x2,
  CE_RXPARITY = 0x4,
  CE_FRAME = 0x8,
  CE_BREAK = 0x10,
  MS_CTS_ON = 0x10,
  MS_DSR_ON = 0x20,
  MS_RING_ON = 0x40,
  MS_RLSD_ON = 0x80,
};

// DCB::fBits fields of two bits.
enum : DWORD {
  DTR_CONTROL_DISABLE = 0,
  DTR_CONTROL_ENABLE = 1,
  DTR_CONTROL_HANDSHAKE = 2,
  RTS_CONTROL_DISABLE = 0,
  RTS_CONTROL_ENABLE = 1,
  RTS_CONTROL_HANDSHAKE = 2,
  RTS_CONTROL_TOGGLE = 3,
  MAXDWORD = 0xFFFFFFFF,
};

extern "C" {
BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);
BOOL GetCommState(HANDLE port, DCB* dcb);
BOOL SetCommState(HANDLE port, const DCB* dcb);
BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts(HANDLE port, const COMMTIMEOUTS* timeouts);
BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* stat);
BOOL SetCommBreak(HANDLE port);
BOOL ClearCommBreak(HANDLE port);
BOOL GetCommModemStatus(HANDLE port, DWORD* status);
}
