#include "QueryWindowFixture.h"
TEST(Batch, Placeholder) {}
