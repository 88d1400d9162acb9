// Building a translated module's guest image in host memory.
#pragma once

#include "trevik.h"

// Places the image at its preferred base or moves it, fills the sections
// and applies the relocations; logs every step.
void build_guest_image(ModuleInfo* mi);
