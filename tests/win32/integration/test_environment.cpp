// Set-up shared by every integration test: the stub catalogue's certificate
// authority is trusted inside the Wine prefix.
#include "catalogue.h"

#include <gtest/gtest.h>

namespace {

class trust_test_ca : public testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(catalogue_trust_test_ca()) << "run under tests/private-net-run"; }
};

[[maybe_unused]] const auto *registered = testing::AddGlobalTestEnvironment(new trust_test_ca);

} // namespace
