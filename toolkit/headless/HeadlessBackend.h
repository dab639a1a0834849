// A backend without a display, for tests: it keeps what the toolkit asked of
// it and delivers the events a test queues.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "toolkit/Backend.h"

namespace toolkit::headless {

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend();
  ~HeadlessBackend() override;

  void CreateNativeWindow(const WindowParams& params) override;
  void ShowNativeWindow() override { shown = true; }
  void Invalidate(const TRect& rect) override { invalidated.push_back(rect); }
  void SetPointerCursor(SystemCursor c) override { cursor = c; }
  void SetCapture(bool c) override { captured = c; }
  void BeginSystemMove() override { ++systemMoves; }
  void DestroyNativeWindow() override { destroyed = true; }
  bool WaitEvent(BackendEvent& event) override;
  TPoint ClientOrigin() const override { return {params.left, params.top}; }
  void* NativeHandle() const override { return const_cast<HeadlessBackend*>(this); }

  // Queues an event for WaitEvent; when the queue is empty WaitEvent returns
  // false, which ends a message loop.
  void Queue(const BackendEvent& event) { events.push_back(event); }

  WindowParams params;
  bool created = false;
  bool shown = false;
  bool destroyed = false;
  bool captured = false;
  int systemMoves = 0;
  SystemCursor cursor = SystemCursor::Arrow;
  std::vector<TRect> invalidated;
  std::deque<BackendEvent> events;
};

// The backend most recently made by CreateDefaultBackend, while it lives.
HeadlessBackend* LastBackend();

struct MessageBoxRecord {
  std::string caption;
  std::string text;
  bool error;
};
// Every box ShowDefaultMessageBox was asked for, oldest first.
std::vector<MessageBoxRecord>& MessageBoxes();

}  // namespace toolkit::headless
