#pragma once
// Breakpoints by file name and line, and the run controls the host drives:
// pause, resume, step into, step over and stop.
#include <atomic>
#include <cstddef>
#include <map>
#include <set>
#include <string>

namespace qm::script {

enum class RunState { kIdle, kRunning, kStepping, kPaused };

class Breakpoints {
 public:
  bool Has(const std::string& file, int line) const {
    auto f = lines_.find(file);
    return f != lines_.end() && f->second.count(line) > 0;
  }
  void Set(const std::string& file, int line) {
    lines_[file].insert(line);
    ++version_;
  }
  void Clear(const std::string& file, int line) {
    auto f = lines_.find(file);
    if (f == lines_.end()) return;
    f->second.erase(line);
    if (f->second.empty()) lines_.erase(f);
    ++version_;
  }
  void ClearAll() {
    lines_.clear();
    ++version_;
  }
  // The main script was renamed: its breakpoints follow it to the new name, and
  // whatever was held under the new name before is dropped.
  void Rename(const std::string& from, const std::string& to) {
    if (from == to) return;
    auto f = lines_.find(from);
    std::set<int> moved;
    if (f != lines_.end()) {
      moved = std::move(f->second);
      lines_.erase(f);
    }
    lines_.erase(to);
    if (!moved.empty()) lines_[to] = std::move(moved);
    ++version_;
  }
  bool Empty() const { return lines_.empty(); }
  void Touch() { ++version_; }
  // Changes with every edit, so a run knows when to refresh its line flags.
  std::size_t Version() const { return version_; }

 private:
  std::map<std::string, std::set<int>> lines_;
  std::size_t version_ = 0;
};

// What the host asks of a run in progress; the machine reads it at every line.
struct RunControl {
  RunState state = RunState::kIdle;
  enum class Step { kNone, kInto, kOver } step = Step::kNone;
  std::size_t step_depth = 0;
  bool pause_requested = false;
  std::atomic<bool> stop{false};
  // Set whenever something above changes, so the line check looks closer.
  bool attention = false;
};

}  // namespace qm::script
