#include "toolkit/headless/HeadlessBackend.h"

#include <memory>

namespace toolkit::headless {
namespace {
HeadlessBackend* last = nullptr;
}

HeadlessBackend::HeadlessBackend() { last = this; }
HeadlessBackend::~HeadlessBackend() {
  if (last == this) last = nullptr;
}

void HeadlessBackend::CreateNativeWindow(const WindowParams& p) {
  params = p;
  created = true;
}

bool HeadlessBackend::WaitEvent(BackendEvent& event) {
  if (events.empty()) return false;
  event = events.front();
  events.pop_front();
  return true;
}

HeadlessBackend* LastBackend() { return last; }

std::vector<MessageBoxRecord>& MessageBoxes() {
  static std::vector<MessageBoxRecord> boxes;
  return boxes;
}

}  // namespace toolkit::headless

namespace toolkit {

std::unique_ptr<Backend> CreateDefaultBackend() { return std::make_unique<headless::HeadlessBackend>(); }

bool ShowDefaultMessageBox(const std::string& caption, const std::string& text, bool error) {
  headless::MessageBoxes().push_back({caption, text, error});
  return true;
}

}  // namespace toolkit
