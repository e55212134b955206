// Burning a tree and an existing image to every writable medium the
// virtual burner models, each disc judged by the peer tools.
#include <gtest/gtest.h>

#include "drive/burn_fixture.h"

namespace orvex::test {
namespace {

struct TMediumCase {
  const char* profile;
  bool formatted;
};

class BurnEveryMedium : public BurnTest, public ::testing::WithParamInterface<TMediumCase> {};

TEST_P(BurnEveryMedium, BurnsAndReadersSeeTheTree) {
  Load(GetParam().profile, "class=bd-writer", GetParam().formatted);
  const std::string source = Source("src");
  Lay(source);
  const TOutcome outcome = Burn();
  ASSERT_TRUE(outcome.started) << disc.ErrorString();
  EXPECT_EQ(outcome.events, 1);
  EXPECT_FALSE(outcome.failed) << outcome.error;
  EXPECT_EQ(outcome.error, 0u);
  EXPECT_EQ(disc.BlocksWritten(), disc.ImageSize());
  EXPECT_EQ(Judge(Export(), source), "");
}

INSTANTIATE_TEST_SUITE_P(Media, BurnEveryMedium,
                         ::testing::Values(TMediumCase{"cd-r", false}, TMediumCase{"cd-rw", false},
                                           TMediumCase{"dvd-r", false}, TMediumCase{"dvd-rw", false},
                                           TMediumCase{"dvd-rw-ro", false}, TMediumCase{"dvd+r", false},
                                           TMediumCase{"dvd+r-dl", false}, TMediumCase{"dvd+rw", false},
                                           TMediumCase{"dvd+rw", true}, TMediumCase{"dvd-ram", true},
                                           TMediumCase{"bd-r", false}, TMediumCase{"bd-re", true}),
                         [](const ::testing::TestParamInfo<TMediumCase>& param) {
                           std::string name = param.param.profile;
                           for (char& c : name) c = c == '+' ? 'p' : std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name + (param.param.formatted ? "_formatted" : "");
                         });

}  // namespace
}  // namespace orvex::test
