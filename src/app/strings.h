#pragma once

// The string table is a service of the platform layer, so that the layer's
// own messages come from it too; the program's code reaches it here.
#include "platform/strings.h"
