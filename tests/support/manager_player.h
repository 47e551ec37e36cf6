#pragma once

// The test playing the download manager: it answers the host's request files
// in the inbox as the manager would.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/fs.h"

namespace qlx::testing_support {

/// What the player does with a request file once it has answered it.
enum class AnsweredRequest {
  kLeft,       // left in the inbox, for the test to look at
  kTakenAway,  // removed, as the manager does when it is done with it
};

/// Plays the download manager for the first request the host writes to
/// `inbox`, on a thread of its own from construction on: waits until the
/// request file holds one whole JSON value, calls `answer` with the path of
/// its result file (in `results`, under the request's name), then leaves or
/// takes the request away.  Ending the player stops a wait still going on.
class ManagerPlayer {
 public:
  ManagerPlayer(Path inbox, Path results, std::function<void(const Path& result)> answer,
                AnsweredRequest after = AnsweredRequest::kLeft);
  ~ManagerPlayer();
  ManagerPlayer(const ManagerPlayer&) = delete;
  ManagerPlayer& operator=(const ManagerPlayer&) = delete;

  /// Waits (at most 30 s) until the request was answered and returns its
  /// bytes; "" with the test failed when none came.
  std::string wait();

  /// The answered request's id (its file name without ".json"); "" before.
  std::string id();

 private:
  void play(const Path& inbox, const Path& results, const std::function<void(const Path&)>& answer,
            AnsweredRequest after);

  std::mutex mutex_;
  std::condition_variable answered_;
  bool stop_ = false;
  bool done_ = false;
  std::string id_;
  std::string request_;
  std::thread thread_;
};

/// Writes `text` to `path` as the manager writes a result: aside, then
/// renamed, so that it is whole from the moment it exists.
void write_whole(const Path& path, const std::string& text);

}  // namespace qlx::testing_support
