// The end-to-end tests, or, given --drive, the driver as a command for the demo.
#include <gtest/gtest.h>

#include <cstring>

#include "e2e/driver.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--drive") == 0) return e2e::drive(argc - 2, argv + 2);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
