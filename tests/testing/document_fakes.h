#pragma once
// Fakes for the interfaces the document commands talk through: scripted answers in,
// a record of what was asked and shown out.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/user_interaction.h"
#include "document/map_view_host.h"

namespace qm::testing {

class FakeDialogs : public UserDialogs, public FileChooser {
 public:
  std::deque<Answer> answers;                          // for AskYesNoCancel
  std::deque<bool> yes_no;                             // for AskYesNo
  std::deque<std::optional<std::string>> open_paths;   // nullopt = Cancel
  std::deque<std::optional<std::string>> save_paths;
  std::vector<std::string> questions;
  std::vector<std::string> errors;
  std::vector<FileDialogRequest> open_requests, save_requests;

  Answer AskYesNoCancel(const std::string& question) override {
    questions.push_back(question);
    return Pop(answers, Answer::Cancel);
  }
  bool AskYesNo(const std::string& question) override {
    questions.push_back(question);
    return Pop(yes_no, false);
  }
  void ShowError(const std::string& message) override { errors.push_back(message); }
  std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override {
    open_requests.push_back(request);
    return Pop(open_paths, std::optional<std::string>{});
  }
  std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override {
    save_requests.push_back(request);
    return Pop(save_paths, std::optional<std::string>{});
  }

 private:
  template <typename T>
  static T Pop(std::deque<T>& queue, T fallback) {
    if (queue.empty()) return fallback;
    T value = queue.front();
    queue.pop_front();
    return value;
  }
};

class FakeView : public MapViewHost {
 public:
  std::string caption = "(unset)";
  std::vector<std::string> titles;
  int selected = -1;
  int refills = 0;
  int repaints = 0;
  int cell_size = 32;

  void SetCaption(const std::string& text) override { caption = text; }
  void RefillLevelList(const std::vector<std::string>& list, int index) override {
    titles = list;
    selected = index;
    ++refills;
  }
  void RepaintMap() override { ++repaints; }
  int ViewCellSize() const override { return cell_size; }
  void SetViewCellSize(int size) override { cell_size = size; }
};

}  // namespace qm::testing
