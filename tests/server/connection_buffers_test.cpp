// What connections buffer and how answers go out: the buffer budget, the
// reader's count of what it holds, answers sent as far as the client takes
// them (through a recording sink, and through a real socket).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <latch>
#include <thread>

#include "server/buffer_budget.h"
#include "server/outgoing_answer.h"
#include "server/request_reader.h"
#include "server/socket_io.h"
#include "test_support.h"

namespace quillary::server {
namespace {

constexpr size_t free_part = unbudgeted_bytes_per_connection;

TEST(BufferBudget, SharesTakeWhatTheyHoldBeyondTheFreePartAndGiveItBack) {
  buffer_budget_c budget(100000);
  {
    budget_share_c small(budget);
    budget_share_c large(budget);
    EXPECT_TRUE(small.cover(free_part));
    EXPECT_EQ(budget.in_use(), 0u) << "what fits in the free part costs nothing";
    ASSERT_TRUE(large.cover(free_part + 60000));
    EXPECT_FALSE(small.cover(free_part + 50000)) << "beyond what is left";
    EXPECT_EQ(small.size(), 0u) << "a refused share stays as it was";
    ASSERT_TRUE(small.cover(free_part + 40000));
    EXPECT_EQ(budget.in_use(), budget.limit());
    EXPECT_TRUE(large.cover(10)) << "shrinking always succeeds";
    EXPECT_EQ(budget.in_use(), 40000u);
  }
  EXPECT_EQ(budget.in_use(), 0u) << "ended shares give everything back";
}

TEST(BufferBudget, SharesOnManyThreadsNeverPassTheLimit) {
  buffer_budget_c budget(600 << 10);
  std::latch start(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      budget_share_c share(budget);
      start.arrive_and_wait();
      for (size_t i = 0; i < 100000; ++i) {
        share.cover(free_part + (i * 7919 + t * 104729) % (400 << 10));
        ASSERT_LE(budget.in_use(), budget.limit());
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(budget.in_use(), 0u);
}

TEST(RequestReader, HeldCountsTheAnnouncedBodyAndTheParsedHead) {
  EXPECT_LT(request_reader_c().held(), free_part);
  request_reader_c query;
  ASSERT_EQ(query.take("POST / HTTP/1.1\r\nContent-Length: 1000000\r\n\r\nabc"), request_reader_c::step::more);
  EXPECT_GE(query.held(), 1000000u) << "the whole body is set aside once its head is in";
  // A head of many short lines costs more parsed than as text.
  std::string head = "GET / HTTP/1.1\r\n";
  for (int i = 0; i < 8000; ++i) head += "a:\r\n";
  request_reader_c many;
  ASSERT_EQ(many.take(head + "\r\n"), request_reader_c::step::done);
  EXPECT_GE(many.held(), 8000 * sizeof(std::pair<std::string, std::string>));
}

// A client that takes at most `room` bytes a call.
class recording_sink_c final : public byte_sink_c {
 public:
  ssize_t put(std::string_view bytes) override {
    const size_t n = std::min(bytes.size(), room);
    taken.append(bytes.substr(0, n));
    return static_cast<ssize_t>(n);
  }
  ssize_t put_file(int file, uint64_t offset, size_t count) override {
    std::string chunk(std::min(count, room), '\0');
    const ssize_t n = pread(file, chunk.data(), chunk.size(), static_cast<off_t>(offset));
    if (n <= 0) return chunk.empty() ? 0 : -1;
    taken.append(chunk.data(), static_cast<size_t>(n));
    return n;
  }
  std::string taken;
  size_t room = 333;
};

using progress = outgoing_answer_c::progress;
const auto t0 = outgoing_answer_c::clock::now();

TEST(OutgoingAnswer, AFileRangeWithTheFaultsThatShapeIt) {
  quillary::testing::temp_folder_c folder;
  const std::string path = (folder.path() / "package.zip").string();
  std::string file(5000, '\0');
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>('a' + i % 26);
  std::ofstream(path, std::ios::binary) << file;
  const auto range_of = [&](uint64_t first, uint64_t length) {
    return outgoing_answer_c("HEAD\r\n\r\n", owned_file_c(open(path.c_str(), O_RDONLY | O_CLOEXEC)), first, length,
                             after_answer::close);
  };
  recording_sink_c client;
  client.room = 0;
  outgoing_answer_c extra = range_of(100, 1000);
  extra.add_zero_filler(50);
  extra.set_log("peer \"GET /p.zip\" 206");
  EXPECT_EQ(extra.pump(client, t0), progress::blocked);
  client.room = 333;
  const auto later = t0 + std::chrono::seconds(3);
  EXPECT_EQ(extra.pump(client, later), progress::finished);
  EXPECT_TRUE(client.taken == "HEAD\r\n\r\n" + file.substr(100, 1000) + std::string(50, '\0'));
  EXPECT_EQ(extra.last_progress(), later);
  EXPECT_EQ(extra.log_line(), "peer \"GET /p.zip\" 206 1050") << "the body bytes that went out";

  client.taken.clear();
  outgoing_answer_c stall = range_of(0, 5000);
  stall.end_body_after(40, after_answer::hold_open);
  EXPECT_EQ(stall.pump(client, t0), progress::finished);
  EXPECT_EQ(client.taken, "HEAD\r\n\r\n" + file.substr(0, 40));
  EXPECT_EQ(stall.after(), after_answer::hold_open);

  outgoing_answer_c shrunk = range_of(4000, 2000);  // the file has 1000 of them
  EXPECT_EQ(shrunk.pump(client, t0), progress::failed);
  EXPECT_EQ(shrunk.body_bytes_sent(), 1000u);
}

TEST(OutgoingAnswer, APacedBodyGoesOutAsItFallsDue) {
  const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
  outgoing_answer_c answer(head + std::string(1000, 'x'), head.size(), after_answer::close);
  answer.pace(100);
  recording_sink_c client;
  client.room = SIZE_MAX;
  EXPECT_EQ(answer.pump(client, t0), progress::resting);
  EXPECT_EQ(client.taken, head) << "the head goes at once";
  EXPECT_EQ(answer.pump(client, t0 + std::chrono::milliseconds(2500)), progress::resting);
  EXPECT_EQ(answer.body_bytes_sent(), 250u);
  EXPECT_EQ(answer.pump(client, t0 + std::chrono::seconds(10)), progress::finished);
  EXPECT_EQ(answer.body_bytes_sent(), 1000u);
}

TEST(SocketSink, TakesWhatTheSocketHoldsWithoutWaitingAndTellsAFailure) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair), 0);
  socket_sink_c sink(pair[0]);
  quillary::testing::temp_folder_c folder;
  const std::string path = (folder.path() / "f").string();
  std::ofstream(path, std::ios::binary) << "0123456789";
  const owned_file_c file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(sink.put_file(file.get(), 4, 3), 3);
  char got[8] = {};
  EXPECT_EQ(recv(pair[1], got, sizeof got, 0), 3);
  EXPECT_EQ(std::string(got), "456");
  EXPECT_EQ(sink.put_file(file.get(), 10, 5), -1) << "the file ends before the bytes asked for";

  const std::string block(1 << 20, 'z');
  while (sink.put(block) > 0) {
  }
  EXPECT_EQ(sink.put(block), 0) << "a full socket takes nothing, and the call returns";
  close(pair[1]);
  EXPECT_EQ(sink.put(block), -1) << "the peer is gone";
  close(pair[0]);
}

}  // namespace
}  // namespace quillary::server
