// Faults the program must survive.
#include "ServerAccess.h"
#include "VintrelProcess.h"

#include <gtest/gtest.h>
