// The URIs of the LV2 plugins (see control/identity.h).
#pragma once

#include "control/identity.h"
