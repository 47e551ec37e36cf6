// A stand-in for the download manager.  Started by the host like the real
// one, it looks for request files in the inbox of the data directory (found
// the way the host finds it), answers one by writing its result file, and
// ends.  The environment, which the host passes through, chooses what it does:
//
//   QLX_STAND_IN_ANSWER     object (the default): {"launched": "stand-in",
//                           "ok": true, "received": <the request's "type">};
//                           array, string, not-json, invalid-utf8: a result of
//                           that sort; none: no result at all
//   QLX_STAND_IN_RESULT     the result file's exact text (wins over ANSWER)
//   QLX_STAND_IN_DELAY_MS   pause before answering (default 0)
//   QLX_STAND_IN_WATCH_MS   how long to look for a request (default 10000)
//   QLX_STAND_IN_LINGER_MS  how long to stay after answering (default 0)
//   QLX_STAND_IN_NOISE      1: write garbage to standard output and read
//                           standard input to its end, at start and again
//                           after answering
//   QLX_STAND_IN_IMPORT_TO  for "import_browser_file" requests: copy the file
//                           at "temp_path" to this path before answering
//   QLX_STAND_IN_RECORD_DIR where each instance writes "<pid>.json" when it
//                           starts (its argv, working directory, standard
//                           streams...) and "<pid>.exited" (the request ids it
//                           answered) when it ends; a file "stop" there, or
//                           the folder's removal, ends every instance early
//
// Each request is answered once, by whichever instance claims it first (a
// directory per request in "stand-in-claims" of the data directory).  Request
// files are left in the inbox; result files appear whole (written aside, then
// renamed).
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/json.h"
#include "platform/fs.h"
#include "platform/sleep.h"
#include "process.h"
#include "store/data_dir.h"

namespace stand_in {
namespace {

using qlx::Json;
using qlx::Path;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kPollPause{20};
/// A number that no frame reader may take as the start of a reply.
constexpr std::string_view kGarbage = "\xff\xff\xff\x7fstand-in garbage on stdout\n";

std::string env_text(const char* name, std::string fallback = {}) {
  const char* value = std::getenv(name);
  return value == nullptr ? fallback : std::string(value);
}

milliseconds env_ms(const char* name, long fallback) {
  const std::string text = env_text(name);
  if (text.empty()) return milliseconds(fallback);
  return milliseconds(std::strtol(text.c_str(), nullptr, 10));
}

Path utf8_path(const std::string& text) {
  return Path(std::u8string(text.begin(), text.end()));
}

struct Settings {
  std::string answer = env_text("QLX_STAND_IN_ANSWER", "object");
  std::optional<std::string> result = std::getenv("QLX_STAND_IN_RESULT") == nullptr
                                          ? std::nullopt
                                          : std::optional(env_text("QLX_STAND_IN_RESULT"));
  milliseconds delay = env_ms("QLX_STAND_IN_DELAY_MS", 0);
  milliseconds watch = env_ms("QLX_STAND_IN_WATCH_MS", 10'000);
  milliseconds linger = env_ms("QLX_STAND_IN_LINGER_MS", 0);
  bool noise = env_text("QLX_STAND_IN_NOISE") == "1";
  std::string import_to = env_text("QLX_STAND_IN_IMPORT_TO");
  std::string record_dir = env_text("QLX_STAND_IN_RECORD_DIR");
};

/// Asked to stop: a file "stop" in the record folder, or the folder is gone
/// (the test or demo that set it up has ended).
bool stop_requested(const Settings& settings) {
  if (settings.record_dir.empty()) return false;
  const Path dir = utf8_path(settings.record_dir);
  return !qlx::path_exists(dir) || qlx::path_exists(dir / "stop");
}

/// Pauses for `duration`, or less when asked to stop.
void pause(const Settings& settings, milliseconds duration) {
  const auto until = Clock::now() + duration;
  while (Clock::now() < until && !stop_requested(settings)) qlx::sleep_for(kPollPause);
}

void make_noise(const Settings& settings, Json& record) {
  if (!settings.noise) return;
  write_standard_output(kGarbage);
  record["stdin_bytes"] =
      record.value("stdin_bytes", std::size_t{0}) + drain_standard_input(std::size_t{1} << 20);
}

/// The result file's bytes, or nullopt for no answer at all.
std::optional<std::string> result_text(const Settings& settings, const Json& request) {
  if (settings.result) return settings.result;
  if (settings.answer == "none") return std::nullopt;
  if (settings.answer == "array") return R"([1, "two", null])";
  if (settings.answer == "string") return R"("queued")";
  if (settings.answer == "not-json") return "ok";
  if (settings.answer == "invalid-utf8") return "{\"ok\": \"\xC3\x28\"}";
  Json answer = Json::object();
  answer["launched"] = "stand-in";
  answer["ok"] = true;
  answer["received"] = request.contains("type") ? request["type"] : Json();
  return qlx::to_indented_json(answer);
}

/// Writes the result so that it is complete from the moment it exists.
void write_result(const Path& results, const std::string& name, const std::string& text) {
  std::error_code ignored;
  const Path aside = results / (name + ".writing");
  if (!qlx::write_file(aside, text)) return;
  std::filesystem::rename(aside, results / name, ignored);
}

void import_file(const Settings& settings, const Json& request) {
  if (settings.import_to.empty() || request.value("type", "") != "import_browser_file") return;
  const auto source = request.find("temp_path");
  if (source == request.end() || !source->is_string()) return;
  std::error_code ignored;
  std::filesystem::copy_file(utf8_path(source->get<std::string>()), utf8_path(settings.import_to),
                             std::filesystem::copy_options::overwrite_existing, ignored);
}

/// Claims and answers one complete request from the inbox; its id, if any.
std::optional<std::string> answer_one_request(const Settings& settings, Json& record) {
  const auto inbox = qlx::inbox_dir();
  const auto results = qlx::inbox_results_dir();
  const auto data = qlx::data_dir();
  if (!inbox || !results || !data) return std::nullopt;
  std::error_code error;
  std::vector<Path> requests;
  for (const auto& entry : std::filesystem::directory_iterator(*inbox, error)) {
    if (entry.path().extension() == ".json") requests.push_back(entry.path());
  }
  std::sort(requests.begin(), requests.end());
  for (const Path& request_path : requests) {
    auto text = qlx::read_file(request_path);
    if (!text) continue;
    auto request = qlx::parse_json(*text);
    if (!request || !request->is_object()) continue;  // not written whole yet
    const Path claims = *data / "stand-in-claims";
    if (!qlx::ensure_dir(claims)) continue;
    const std::string name = qlx::path_to_utf8(request_path.filename());
    if (qlx::create_directory(claims / request_path.stem()).status !=
        qlx::CreateDirStatus::kCreated) {
      continue;  // another instance answers it
    }
    pause(settings, settings.delay);
    import_file(settings, *request);
    if (const auto answer = result_text(settings, *request)) write_result(*results, name, *answer);
    make_noise(settings, record);
    return qlx::path_to_utf8(request_path.stem());
  }
  return std::nullopt;
}

void write_record(const Settings& settings, const std::string& name, const Json& record) {
  if (settings.record_dir.empty()) return;
  (void)qlx::write_file(utf8_path(settings.record_dir) / name, qlx::to_indented_json(record));
}

int run(int argc, char** argv) {
  const Settings settings;
  Json record = platform_facts();
  record["argv"] = arguments(argc, argv);
  std::error_code error;
  record["cwd"] = qlx::path_to_utf8(std::filesystem::current_path(error));
  record["pid"] = process_id();
  record["stdin"] = describe_standard_stream(0);
  record["stdout"] = describe_standard_stream(1);
  record["stderr"] = describe_standard_stream(2);
  make_noise(settings, record);
  const std::string pid = std::to_string(process_id());
  write_record(settings, pid + ".json", record);

  Json answered = Json::array();
  const auto watch_until = Clock::now() + settings.watch;
  while (!stop_requested(settings)) {
    if (auto id = answer_one_request(settings, record)) {
      answered.push_back(*id);
      break;
    }
    if (Clock::now() >= watch_until) break;
    qlx::sleep_for(kPollPause);
  }
  pause(settings, settings.linger);

  Json exited = Json::object();
  exited["answered"] = answered;
  exited["stdin_bytes"] = record.value("stdin_bytes", std::size_t{0});
  write_record(settings, pid + ".exited", exited);
  return 0;
}

}  // namespace
}  // namespace stand_in

int main(int argc, char** argv) {
  return stand_in::run(argc, argv);
}
