// The raw port operations outside any command: the service buttons' single
// byte and the blocks of the telemetry stream. Untraced, under the normal
// time-outs; only the operations themselves set the status.
#include <gtest/gtest.h>

#include <vector>

#include "link/Link.h"
#include "tests/support/ScriptPeer.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ScriptLink;

// Leaves status 2 with its text: a sync the controller refuses.
void leaveRefusedStatus(ScriptLink& s) {
  s.peer().respond = [](std::uint8_t, std::size_t) { return Bytes{0x81}; };
  s.link().SyncCmd();
  s.peer().respond = {};
  s.peer().received.clear();
  ASSERT_EQ(s.link().status().code, 2);
}

TEST(RawPort, ByteWriteSendsExactlyItsByteAndSetsTheStatus) {
  ScriptLink s;
  s.start(true);
  leaveRefusedStatus(s);
  const QString trace = s.fileText(s.link().protocolPath());
  EXPECT_TRUE(s.link().WrRawByte(0x41));
  EXPECT_EQ(s.peer().received, Bytes{0x41});
  EXPECT_EQ(s.link().status().code, 0);
  EXPECT_EQ(s.link().status().text, status_text::refused());  // the text stays

  s.port()->setGone(true);
  EXPECT_FALSE(s.link().WrRawByte(0x42));
  EXPECT_EQ(s.link().status().code, 255);
  EXPECT_EQ(s.link().status().text, status_text::writeFailed());
  // Not a traced write: no line, no break of the link.
  EXPECT_EQ(s.link().FlagLinkBreak(), 0);
  EXPECT_EQ(s.fileText(s.link().protocolPath()), trace);
}

struct StreamCase {
  const char* name;
  std::size_t arriving;  // of a 32-byte block
  bool lost;             // status 1 afterwards
};

class StreamBlock : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamBlock, HandsBackWhatArrivedAndOnlyAPartialBlockSetsStatus1) {
  const StreamCase& c = GetParam();
  ScriptLink s;
  s.start(true);
  leaveRefusedStatus(s);
  const QString trace = s.fileText(s.link().protocolPath());
  Bytes sent;
  for (std::size_t i = 0; i < c.arriving; ++i) sent.push_back(std::uint8_t(0x30 + i));
  s.peer().sendAt(s.clock().nowMs(), sent);
  const qint64 t0 = s.clock().nowMs();
  const Link::View got = s.link().RdStreamBlock(32);
  EXPECT_EQ(Bytes(got.begin(), got.end()), sent);
  if (c.lost) {
    EXPECT_EQ(s.link().status().code, 1);
    EXPECT_EQ(s.link().status().text, status_text::noAnswer());
  } else {
    EXPECT_EQ(s.link().status().code, 2);
    EXPECT_EQ(s.link().status().text, status_text::refused());
  }
  // Under the normal set: nothing at all costs the whole read total.
  if (c.arriving == 0) {
    EXPECT_EQ(s.clock().nowMs() - t0, 6000 + 30 * 32);
  }
  EXPECT_EQ(s.fileText(s.link().protocolPath()), trace);
  EXPECT_TRUE(s.peer().received.empty());
}

INSTANTIATE_TEST_SUITE_P(Arrivals, StreamBlock,
                         ::testing::Values(StreamCase{"Nothing", 0, false},
                                           StreamCase{"One", 1, true},
                                           StreamCase{"AllButOne", 31, true},
                                           StreamCase{"All", 32, false}),
                         [](const ::testing::TestParamInfo<StreamCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(RawPort, PlainReadTakesWhatCameAndLeavesTheStatus) {
  ScriptLink s;
  s.start(true);
  leaveRefusedStatus(s);
  s.peer().sendAt(s.clock().nowMs(), {0x01, 0x02});
  const Link::View two = s.link().RdRaw(3);  // a short header
  EXPECT_EQ(Bytes(two.begin(), two.end()), (Bytes{0x01, 0x02}));
  EXPECT_TRUE(s.link().RdRaw(1).empty());
  EXPECT_EQ(s.link().status().code, 2);
}

}  // namespace
}  // namespace calorix
