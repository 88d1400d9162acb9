// The device's API, all of it.
#pragma once

#include "wce/device.h"
#include "wce/kernel.h"
#include "wce/seh.h"
#include "wce/types.h"
#include "wce/window.h"
#include "wce/wstr.h"
