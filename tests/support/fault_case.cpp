#include "support/fault_case.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

namespace fs = std::filesystem;

std::string replaced(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

}  // namespace

std::string legacy_after_ping_edge() {
  return "{\n  \"browser_id\": \"edge\",\n  \"extension_id\": "
         "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\",\n"
         "  \"extension_version\": null,\n  \"source\": null,\n  \"timestamp_ms\": T\n}";
}

std::string per_browser_entry(const std::string& name, const std::string& extension_id,
                              const std::string& version) {
  return std::string("  \"") + name + "\": {\n    \"timestamp_ms\": T,\n    \"extension_id\": \"" +
         extension_id + "\",\n    \"extension_version\": \"" + version + "\"\n  }";
}

std::string per_browser_file(const std::vector<std::string>& entries) {
  std::string text = "{\n";
  for (std::size_t i = 0; i < entries.size(); ++i) text += (i ? ",\n" : "") + entries[i];
  return text + "\n}";
}

std::string edge_entry() {
  return per_browser_entry("edge", "kbmhoaelpgdjcnfiebkalmcgopdhjnie", "legacy");
}

std::string with_timestamps_as_t(std::string text) {
  static const std::string member = "\"timestamp_ms\": ";
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = text.find(member); at != std::string::npos; at = text.find(member, from)) {
    at += member.size();
    out.append(text, from, at - from);
    out += 'T';
    from = std::min(text.find_first_not_of("0123456789", at), text.size());
  }
  out.append(text, from, std::string::npos);
  return out;
}

std::string describe_path(const Path& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error || status.type() == fs::file_type::not_found) return kAbsent;
  if (status.type() == fs::file_type::directory) return kDirectory;
  if (status.type() == fs::file_type::fifo) return kFifo;
  if (status.type() == fs::file_type::symlink) return kLink;
  std::ifstream in(path, std::ios::binary);
  return with_timestamps_as_t(std::string(std::istreambuf_iterator<char>(in), {}));
}

void put_file(const Path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << path.string();
}

void run_fault_case(const FaultCase& c) {
  TempDir temp;
  const Path local = temp.path / c.local_app_data_name;
  const Path data = data_dir_under(local);
  fs::create_directories(data);
  if (c.setup) c.setup(data);

  HostOptions options;
  options.env = local_app_data_env(local);
  options.file_size_limit = c.file_size_limit;
  std::optional<ManagerPlayer> player;
  if (c.answer) player.emplace(data / "inbox", data / "inbox-results", c.answer);
  HostSession host(options);
  for (const std::string& message : c.messages) host.send(message);
  std::vector<std::string> expected_replies;
  for (const Bytes& reply : c.replies) expected_replies.push_back(reply.get());
  std::vector<std::string> replies;
  while (replies.size() < expected_replies.size()) {
    auto reply = host.read_reply();
    if (!reply) break;
    replies.push_back(std::move(*reply));
  }
  const HostRun run = host.finish();
  for (std::string& late : run.replies()) replies.push_back(std::move(late));
  EXPECT_EQ(replies, expected_replies);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_LT(run.exit_time, std::chrono::seconds(3)) << "the host did not end promptly";

  const std::string id = player ? player->id() : std::string();
  for (const auto& [name, expected] : c.files) {
    const std::string relative = replaced(name, "{id}", id);
    EXPECT_EQ(describe_path(data / relative), expected) << relative;
  }
  if (c.check) c.check(data);
}

}  // namespace qlx::testing_support
