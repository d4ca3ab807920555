#include <gtest/gtest.h>

#include "kmx/testing/helper_process.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  if (kmx::testing::runHelperIfRequested(argc, argv, &exitCode)) return exitCode;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
