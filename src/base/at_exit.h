#pragma once

#include <utility>

namespace qlx {

/// Runs `action` when the scope ends, however it ends:
/// `AtExit close_pipe{[&] { ::close(fd); }};`
template <typename Action>
struct AtExit {
  explicit AtExit(Action run_at_exit) : action(std::move(run_at_exit)) {}
  AtExit(const AtExit&) = delete;
  AtExit& operator=(const AtExit&) = delete;
  ~AtExit() { action(); }

  Action action;
};

}  // namespace qlx
