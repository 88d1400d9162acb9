// The device's API, all of it.
#pragma once

#include "wce/comm.h"
#include "wce/device.h"
#include "wce/file.h"
#include "wce/heap.h"
#include "wce/kernel.h"
#include "wce/locale.h"
#include "wce/registry.h"
#include "wce/shell.h"
#include "wce/seh.h"
#include "wce/synch.h"
#include "wce/sysinfo.h"
#include "wce/time.h"
#include "wce/types.h"
#include "wce/window.h"
#include "wce/wstr.h"
