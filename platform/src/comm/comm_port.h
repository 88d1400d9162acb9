// Serial ports inside the device, and the hooks by which the file
// functions reach them: CreateFileW asks comm_open first, and ReadFile and
// WriteFile hand a KOBJ_COMM object to comm_read and comm_write.
#pragma once

#include <mutex>

#include "handles.h"
#include "wce/comm.h"

struct CommPort {
  KObject header;
  int fd;
  int number;   // 1..9
  DWORD access;  // GENERIC_READ / GENERIC_WRITE bits of the open
  std::mutex lock;  // guards the fields below
  DCB dcb;
  COMMTIMEOUTS timeouts;
  DWORD errors;     // CE_* bits since the last ClearCommError
  int counts[5];    // the driver's frame, overrun, parity, break and buffer overrun counts when last looked at
  DWORD in_queue, out_queue;
  bool in_break;
};

enum : DWORD {
  COMM_GENERIC_READ = 0x80000000,
  COMM_GENERIC_WRITE = 0x40000000,
  COMM_ERROR_GEN_FAILURE = 31,  // the port failed (ERROR_GEN_FAILURE)
};

// Opens "COM1:" .. "COM9:" (any case). Null when `name` is no serial
// port name, so that the caller goes on with files; INVALID_HANDLE_VALUE
// with the last error set when it is one but cannot be opened.
HANDLE comm_open(const WCHAR* name, DWORD access);
// ReadFile / WriteFile on a port; `port` is a KOBJ_COMM object.
BOOL comm_read(KObject* port, void* buffer, DWORD size, DWORD* done);
BOOL comm_write(KObject* port, const void* buffer, DWORD size, DWORD* done);

// Adds to port->errors what the driver counted since the last look
// (drivers without counters, such as pseudo terminals, report nothing).
void comm_collect_errors(CommPort* port);

// The port of a handle with a reference taken (release with
// handle_release), or null with ERROR_INVALID_HANDLE.
CommPort* comm_port(HANDLE handle);
// Applies a DCB to the terminal; false with the last error set when the
// DCB asks for what the terminal cannot do (nothing is changed then).
bool comm_apply_dcb(int fd, const DCB& dcb);
// The DCB as the terminal has it, other fields from `stored`.
void comm_read_dcb(int fd, const DCB& stored, DCB* out);
