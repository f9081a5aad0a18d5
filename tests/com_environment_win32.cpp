// The Windows layer's tests use COM (WMI, Task Scheduler) on the main
// thread, as the program does after its start-up step 2.
#include <objbase.h>

#include <gtest/gtest.h>

namespace {

class com_environment : public ::testing::Environment {
 public:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new com_environment);

}  // namespace
