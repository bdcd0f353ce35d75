// Set-up shared by every integration test: they run where the stub catalogue
// answers (tests/private-net-run).
#include "catalogue.h"

#include <gtest/gtest.h>

namespace {

class stub_catalogue_runs : public testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(catalogue_available()) << "run under tests/private-net-run"; }
};

[[maybe_unused]] const auto *registered = testing::AddGlobalTestEnvironment(new stub_catalogue_runs);

} // namespace
