// Linked into the GoogleTest programs (not into the stand-in's library, which
// the fuzz targets use without GoogleTest): a misuse the test platforms
// report fails the test it happens in, and the run goes on.
#include <gtest/gtest.h>

#include "support/Misuse.h"

namespace reelstart {
namespace {

class MisuseAsFailure : public ::testing::Environment {
 public:
  void SetUp() override {
    OnMisuse = [](const std::string& message) {
      ADD_FAILURE() << "Misuse of the platform: " << message;
    };
  }
};

[[maybe_unused]] ::testing::Environment* const kMisuseAsFailure =
    ::testing::AddGlobalTestEnvironment(new MisuseAsFailure);

}  // namespace
}  // namespace reelstart
