// Keeps a number of update queries in flight against a server, each on a
// connection of its own (as the program sends them), until a number of them
// has been answered; prints the queries per second and the latency
// percentiles as "queries=N errors=E seconds=S qps=Q p50_ms=A p99_ms=B" for
// bench/service.
//
// Each connection comes from an address of its own in 127.0.0.0/8, so that
// a limit per client address (the service's or nginx's) does not take part.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

struct query_slot {
  int fd = -1;
  size_t sent = 0;
  std::string answer;
  clock_type::time_point started;
};

class load_c {
 public:
  load_c(const sockaddr_in& server, std::string request, size_t concurrency, size_t total)
      : server_(server), request_(std::move(request)), slots_(concurrency), total_(total) {}

  bool run() {
    epoll_ = epoll_create1(0);
    const auto begin = clock_type::now();
    for (size_t i = 0; i < slots_.size() && started_ < total_; ++i) open_slot(i);
    std::vector<epoll_event> events(1024);
    while (finished_ < total_) {
      const int count = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 10000);
      if (count <= 0) {
        std::fprintf(stderr, "service_bench: no progress for ten seconds\n");
        return false;
      }
      for (int e = 0; e < count; ++e) step(events[e].data.u32, events[e].events);
    }
    seconds_ = std::chrono::duration<double>(clock_type::now() - begin).count();
    close(epoll_);
    return true;
  }

  void print() {
    std::sort(latencies_.begin(), latencies_.end());
    const auto percentile = [&](double p) {
      return latencies_.empty() ? 0.0 : latencies_[std::min(latencies_.size() - 1, size_t(p * latencies_.size()))];
    };
    std::printf("queries=%zu errors=%zu seconds=%.3f qps=%.0f p50_ms=%.2f p99_ms=%.2f\n", finished_, errors_, seconds_,
                finished_ / seconds_, percentile(0.50) * 1000, percentile(0.99) * 1000);
  }

 private:
  // Connections of slot i come from 127.(1 + i / 250).(i % 250 + 1).
  void open_slot(size_t i) {
    query_slot& s = slots_[i];
    s = query_slot{};
    s.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl((127u << 24) | static_cast<uint32_t>((1 + i / 250) << 8) | (i % 250 + 1));
    bind(s.fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    s.started = clock_type::now();
    ++started_;
    if (connect(s.fd, reinterpret_cast<const sockaddr*>(&server_), sizeof server_) != 0 && errno != EINPROGRESS) {
      finish(i, false);
      return;
    }
    epoll_event event{EPOLLOUT | EPOLLIN, {.u32 = static_cast<uint32_t>(i)}};
    epoll_ctl(epoll_, EPOLL_CTL_ADD, s.fd, &event);
  }

  void step(uint32_t i, uint32_t events) {
    query_slot& s = slots_[i];
    if (s.sent < request_.size() && (events & EPOLLOUT)) {
      const ssize_t n = send(s.fd, request_.data() + s.sent, request_.size() - s.sent, MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN) return finish(i, false);
      if (n > 0) s.sent += static_cast<size_t>(n);
      if (s.sent == request_.size()) {
        epoll_event event{EPOLLIN, {.u32 = i}};
        epoll_ctl(epoll_, EPOLL_CTL_MOD, s.fd, &event);
      }
    }
    if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
      char buffer[65536];
      for (;;) {
        const ssize_t n = recv(s.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
          s.answer.append(buffer, static_cast<size_t>(n));
          continue;
        }
        if (n < 0 && errno == EAGAIN) return;
        return finish(i, n == 0 && s.answer.compare(0, 12, "HTTP/1.1 200") == 0);
      }
    }
  }

  void finish(size_t i, bool answered) {
    query_slot& s = slots_[i];
    close(s.fd);
    if (answered) {
      latencies_.push_back(std::chrono::duration<double>(clock_type::now() - s.started).count());
    } else {
      ++errors_;
    }
    ++finished_;
    if (started_ < total_) open_slot(i);
  }

  sockaddr_in server_;
  std::string request_;
  std::vector<query_slot> slots_;
  size_t total_;
  size_t started_ = 0, finished_ = 0, errors_ = 0;
  std::vector<double> latencies_;
  double seconds_ = 0;
  int epoll_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: service_bench PORT REQUEST_FILE CONCURRENCY TOTAL\n");
    return 2;
  }
  // A thousand connections at once need as many descriptors.
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
  inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
  std::ifstream in(argv[2], std::ios::binary);
  std::string request((std::istreambuf_iterator<char>(in)), {});
  if (request.empty()) {
    std::fprintf(stderr, "service_bench: no request in %s\n", argv[2]);
    return 2;
  }
  load_c load(server, request, std::strtoul(argv[3], nullptr, 10), std::strtoul(argv[4], nullptr, 10));
  if (!load.run()) return 1;
  load.print();
  return 0;
}
