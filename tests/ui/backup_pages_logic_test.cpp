// The backup and restore pages without windows: what their trees hold and
// in which order, how the boxes tie together, what the ticks ask for, the
// panel's lines, and the background job that may outlive its page.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "ui/pages/backup_tree.h"
#include "ui/window/background_job.h"

namespace quillary {
namespace {

device_record device(const std::u16string& id, const std::u16string& description, const device_class_entry* cls) {
  device_record d;
  d.device_id = id;
  d.description = description;
  d.class_entry = cls;
  d.provider_name = u"Maker";
  d.inf_path = u"oem1.inf";
  d.driver_date = u"2020-1-2";
  d.driver_version = u"1.2.3";
  return d;
}

// --- the backup tree ----------------------------------------------------------

TEST(backup_tree, groups_split_by_inbox_flag_and_sorted_by_class_text) {
  device_class_entry net{{}, u"", u"Network adapters", u"Net", nullptr, 4};
  device_class_entry display{{}, u"", u"display adapters", u"Display", nullptr, 7};
  device_class_entry audio{{}, u"", u"Audio", u"Media", nullptr, 2};
  std::vector<device_record> devices{device(u"A", u"Wifi", &net), device(u"B", u"Gpu", &display),
                                     device(u"C", u"Speaker", &audio), device(u"D", u"Gpu 2", &display)};
  const std::vector<driver_package> packages{{false, u"net.inf_1", {&devices[0]}},
                                             {true, u"disp.inf_1", {&devices[1], &devices[3]}},
                                             {false, u"audio.inf_1", {&devices[2]}}};
  const backup_tree_plan plan = plan_backup_tree(packages);
  ASSERT_EQ(plan.available.size(), 2u);
  EXPECT_EQ(plan.available[0].text, u"Audio");
  EXPECT_EQ(plan.available[0].image, 2);
  EXPECT_EQ(plan.available[1].text, u"Network adapters");
  EXPECT_EQ(plan.available[1].first, &devices[0]);
  ASSERT_EQ(plan.inbox.size(), 1u);
  EXPECT_EQ(plan.inbox[0].first, &devices[1]);
  EXPECT_EQ(plan.inbox[0].devices.size(), 2u);

  // Only vendor drivers: no inbox group at all.
  const backup_tree_plan vendor_only = plan_backup_tree({packages[0], packages[2]});
  EXPECT_EQ(vendor_only.available.size(), 2u);
  EXPECT_TRUE(vendor_only.inbox.empty());
}

TEST(backup_tree, hostile_packages_do_not_crash) {
  device_record no_class = device(u"X", u"Unknown thing", nullptr);
  no_class.class_name = u"";
  const std::vector<driver_package> packages{{false, u"empty", {}}, {false, u"null", {nullptr}},
                                             {false, u"x", {&no_class}}};
  const backup_tree_plan plan = plan_backup_tree(packages);
  ASSERT_EQ(plan.available.size(), 1u);
  EXPECT_EQ(plan.available[0].text, u"Unknown thing");
  EXPECT_EQ(plan.available[0].image, 0);
}

// --- the restore tree -----------------------------------------------------------

TEST(restore_tree, archives_sorted_devices_named_as_plugged_in) {
  device_class_entry net{{}, u"", u"Network adapters", u"Net", nullptr, 4};
  std::vector<device_record> live{device(u"PCI\\VEN_1", u"Live name", &net)};
  catalogue_entry zeta{"zeta.zip", "2024-01-01", {{u"pci\\ven_1", u"Old name", u"M", u"oem2.inf", u"1", u"2020-1-1",
                                                   u"2024-01-01", u"zeta.zip"},
                                                  {u"USB\\GONE", u"Gone device", u"M", u"oem3.inf", u"1", u"",
                                                   u"2024-01-01", u"zeta.zip"}}};
  catalogue_entry alpha{"Alpha.zip", "2024-02-02", {{u"USB\\X", u"X", u"M", u"oem4.inf", u"1", u"", u"", u""}}};
  const std::vector<catalogue_entry> entries{zeta, alpha};
  const auto plan = plan_restore_tree(entries, {&live[0]});
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].node.text, u"Alpha.zip");
  EXPECT_EQ(plan[1].node.archive, u"zeta.zip");
  ASSERT_EQ(plan[1].devices.size(), 2u);
  EXPECT_EQ(plan[1].devices[0].text, u"Live name");  // found by ID in any letter case
  EXPECT_EQ(plan[1].devices[0].image, 4);
  EXPECT_EQ(plan[1].devices[1].text, u"Gone device");
  // The archive's item shows its first device.
  EXPECT_EQ(plan[1].node.device, &entries[0].devices[0]);
  EXPECT_EQ(plan[1].node.image, 4);
}

// --- check boxes -------------------------------------------------------------------

// A tree in memory: items numbered from 1.
class fake_tree : public check_tree_i {
 public:
  struct node {
    item parent = 0;
    bool has_box = true;
    bool on = false;
    uintptr_t data = 0;
  };
  item add(item parent, uintptr_t data, bool has_box = true) {
    nodes_.push_back({parent, has_box, false, data});
    return nodes_.size();
  }
  node& at(item i) { return nodes_[i - 1]; }
  item first_root() override { return next_with_parent(0, 0); }
  item first_child(item parent) override { return next_with_parent(parent, 0); }
  item next_sibling(item n) override { return next_with_parent(at(n).parent, n); }
  item parent_of(item n) override { return at(n).parent; }
  bool checked(item n) override { return at(n).on; }
  void set_checked(item n, bool on) override {
    if (at(n).has_box) at(n).on = on;
  }
  uintptr_t data(item n) override { return at(n).data; }
  // What the tree control does on a click on the box.
  void click(item n) { at(n).on = !at(n).on; }

 private:
  item next_with_parent(item parent, item after) {
    for (item i = after + 1; i <= nodes_.size(); ++i) {
      if (at(i).parent == parent) return i;
    }
    return 0;
  }
  std::vector<node> nodes_;
};

TEST(backup_checks, group_ticks_all_and_an_unticked_package_unticks_only_its_group) {
  fake_tree tree;
  const auto available = tree.add(0, 0);
  const auto p1 = tree.add(available, 11);
  const auto d1 = tree.add(p1, 11, false);
  const auto p2 = tree.add(available, 22);
  const auto p3 = tree.add(available, 33);
  const auto inbox = tree.add(0, 0);
  const auto p4 = tree.add(inbox, 44);

  tree.click(available);
  propagate_backup_check(tree, available);
  EXPECT_TRUE(tree.checked(p1) && tree.checked(p2) && tree.checked(p3));
  EXPECT_FALSE(tree.checked(d1));  // devices have no box
  EXPECT_FALSE(tree.checked(p4));  // the other group is untouched

  tree.click(p2);
  propagate_backup_check(tree, p2);
  EXPECT_FALSE(tree.checked(available));
  EXPECT_TRUE(tree.checked(p1));
  EXPECT_FALSE(tree.checked(p2));
  EXPECT_TRUE(tree.checked(p3));

  // Ticking a package reaches nothing else.
  tree.click(p4);
  propagate_backup_check(tree, p4);
  EXPECT_FALSE(tree.checked(inbox));

  // The request: ticked packages in tree order, available group first.
  EXPECT_EQ(ticked_packages(tree), (std::vector<uintptr_t>{11, 33, 44}));

  tree.click(available);
  propagate_backup_check(tree, available);
  tree.click(available);
  propagate_backup_check(tree, available);
  EXPECT_EQ(ticked_packages(tree), (std::vector<uintptr_t>{44}));
}

TEST(restore_checks, at_most_one_archive_stays_ticked) {
  fake_tree tree;
  const auto a = tree.add(0, 1);
  tree.add(a, 1, false);
  const auto b = tree.add(0, 2);
  const auto c = tree.add(0, 3);
  EXPECT_EQ(first_ticked_root(tree), 0u);
  tree.click(a);
  keep_single_archive(tree, a);
  tree.click(c);
  keep_single_archive(tree, c);
  EXPECT_FALSE(tree.checked(a));
  EXPECT_FALSE(tree.checked(b));
  EXPECT_TRUE(tree.checked(c));
  EXPECT_EQ(first_ticked_root(tree), 3u);
  tree.click(c);
  keep_single_archive(tree, c);
  EXPECT_EQ(first_ticked_root(tree), 0u);
}

// --- the information panel -----------------------------------------------------------

TEST(info_panel, lines_of_a_device_and_of_a_catalogue_device) {
  device_record d = device(u"PCI\\VEN_1", u"Wifi", nullptr);
  const auto lines = backup_info_lines(&d, u"C:\\windows\\inf");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_STREQ(lines[3].label_key, "device_detail_list_inf_name");
  EXPECT_EQ(lines[3].value, u"C:\\windows\\inf\\oem1.inf");
  EXPECT_EQ(lines[2].value, u"Maker");
  for (const auto& line : backup_info_lines(nullptr, u"x")) EXPECT_TRUE(line.value.empty());

  catalogue_device c{u"ID", u"Desc", u"Manu", u"oem9.inf", u"9.9", u"2021-5-5", u"2024-03-03", u"a.zip"};
  const auto restore = restore_info_lines(&c, u"C:\\windows\\inf");
  ASSERT_EQ(restore.size(), 7u);
  EXPECT_STREQ(restore[0].label_key, "backup_date");
  EXPECT_EQ(restore[0].value, u"2024-03-03");
  EXPECT_EQ(restore[4].value, u"C:\\windows\\inf\\oem9.inf");
  EXPECT_EQ(restore[6].value, u"9.9");
  EXPECT_EQ(label_text(u"Date"), u"Date:");
  EXPECT_EQ(layout_tree_page(500).tree_height, 475);
  EXPECT_EQ(layout_tree_page(10).tree_height, 0);
}

// --- the worker task --------------------------------------------------------------------

// Holds the worker until released; tells when what the work owned is gone.
struct gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  std::atomic<bool> owned_freed{false};
  void release() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    changed.notify_all();
  }
  void pass() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return open; });
  }
};

struct owned_by_work {
  explicit owned_by_work(std::shared_ptr<gate> held) : g(std::move(held)) {}
  ~owned_by_work() { g->owned_freed = true; }
  std::shared_ptr<gate> g;
};

bool eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The job's deliveries, as the window's message queue would hold them.
struct delivered_runs {
  std::mutex mutex;
  std::vector<uint64_t> runs;
  background_job_c<int32_t>::deliver_fn to_queue() {
    return [this](uint64_t run) {
      std::lock_guard<std::mutex> lock(mutex);
      runs.push_back(run);
    };
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex);
    return runs.size();
  }
};

TEST(background_job, the_window_takes_the_outcome_once_it_is_delivered) {
  auto g = std::make_shared<gate>();
  background_work_c work;
  background_job_c<int32_t> job(work);
  delivered_runs queue;
  EXPECT_FALSE(job.take(1));
  auto owned = std::make_shared<owned_by_work>(g);
  ASSERT_TRUE(job.start(
      [g, owned] {
        g->pass();
        return -1;
      },
      queue.to_queue()));
  owned.reset();
  EXPECT_TRUE(job.running());
  EXPECT_TRUE(work.any_running());
  EXPECT_FALSE(job.start([] { return 0; }, queue.to_queue())) << "one run at a time";
  EXPECT_FALSE(job.take(1)) << "no outcome before the work has ended";
  g->release();
  ASSERT_TRUE(eventually([&] { return queue.count() == 1; }));
  EXPECT_FALSE(work.any_running()) << "counted off before it is delivered";
  EXPECT_FALSE(job.take(queue.runs[0] + 1)) << "a delivery of another run is not this one's";
  const std::optional<int32_t> outcome = job.take(queue.runs[0]);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(*outcome, -1);
  EXPECT_FALSE(job.take(queue.runs[0])) << "taken once";
  EXPECT_TRUE(eventually([&] { return g->owned_freed.load(); }));
  EXPECT_FALSE(job.running());

  ASSERT_TRUE(job.start([] { return 7; }, queue.to_queue()));
  ASSERT_TRUE(eventually([&] { return queue.count() == 2; }));
  EXPECT_NE(queue.runs[1], queue.runs[0]);
  EXPECT_EQ(job.take(queue.runs[1]), std::optional<int32_t>(7));
}

TEST(background_job, work_that_outlives_its_window_frees_what_it_owns) {
  auto g = std::make_shared<gate>();
  background_work_c work;
  delivered_runs queue;
  {
    background_job_c<int32_t> job(work);
    auto owned = std::make_shared<owned_by_work>(g);
    ASSERT_TRUE(job.start(
        [g, owned] {
          g->pass();
          return 0;
        },
        queue.to_queue()));
  }  // the window goes while the work runs
  EXPECT_FALSE(g->owned_freed);
  EXPECT_TRUE(work.any_running()) << "the program's end must know";
  g->release();
  EXPECT_TRUE(eventually([&] { return g->owned_freed.load(); }));
  EXPECT_FALSE(work.any_running());
  EXPECT_TRUE(eventually([&] { return queue.count() == 1; })) << "delivered to a window that is gone: nobody reads it";
}

}  // namespace
}  // namespace quillary
