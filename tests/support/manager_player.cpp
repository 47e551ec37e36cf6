#include "support/manager_player.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/files.h"

namespace qlx::testing_support {

namespace fs = std::filesystem;

ManagerPlayer::ManagerPlayer(Path inbox, Path results, std::function<void(const Path&)> answer,
                             AnsweredRequest after) {
  thread_ =
      std::thread([this, inbox = std::move(inbox), results = std::move(results),
                   answer = std::move(answer), after] { play(inbox, results, answer, after); });
}

ManagerPlayer::~ManagerPlayer() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stop_ = true;
  }
  answered_.notify_all();
  thread_.join();
}

void ManagerPlayer::play(const Path& inbox, const Path& results,
                         const std::function<void(const Path&)>& answer, AnsweredRequest after) {
  std::unique_lock<std::mutex> hold(mutex_);
  while (!stop_) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(inbox, error)) {
      if (entry.path().extension() != ".json") continue;
      // The host renames a request into the inbox whole; a file that does
      // not parse yet would be another writer's, and waits for the next look.
      std::string request = file_text(entry.path());
      if (!nlohmann::json::accept(request)) break;
      hold.unlock();
      answer(results / entry.path().filename());
      if (after == AnsweredRequest::kTakenAway) fs::remove(entry.path(), error);
      hold.lock();
      id_ = entry.path().stem().string();
      request_ = std::move(request);
      done_ = true;
      answered_.notify_all();
      return;
    }
    answered_.wait_for(hold, std::chrono::milliseconds(5));
  }
}

std::string ManagerPlayer::wait() {
  std::unique_lock<std::mutex> hold(mutex_);
  if (!answered_.wait_for(hold, std::chrono::seconds(30), [this] { return done_; })) {
    ADD_FAILURE() << "no complete request in the inbox within 30 s";
    return {};
  }
  return request_;
}

std::string ManagerPlayer::id() {
  std::lock_guard<std::mutex> hold(mutex_);
  return id_;
}

void write_whole(const Path& path, const std::string& text) {
  Path aside = path;
  aside += ".writing";
  {
    std::ofstream out(aside, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << aside.string();
  }
  fs::rename(aside, path);
}

}  // namespace qlx::testing_support
