// Forwarding header for sources that still include the old name.
#pragma once

#include "support/memory.h"
