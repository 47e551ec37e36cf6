// parse_json and both writers against nlohmann's own parse and dump, on the
// two shapes of 2 MiB message the host meets: a blob_chunk that is almost all
// one Base64 string, and a message of thousands of small members and numbers;
// and on an everyday add_download message of a few hundred bytes.  Beside
// them, the host's own way with a message: checked and its members listed
// (parse_message), and its indented form written from its text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "base/json.h"
#include "base/message.h"
#include "host/channel.h"

namespace {

/// A blob_chunk frame body of exactly the inbound limit.
std::string blob_chunk_message() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string head = R"({"type":"blob_chunk","transfer_id":"tr_0123456789abcdef","data":")";
  const std::string tail = R"(","index":17})";
  std::string text = head;
  std::uint32_t state = 12345;
  while (text.size() < qlx::kMaxMessageBytes - tail.size()) {
    state = state * 1103515245 + 12345;
    text.push_back(kAlphabet[(state >> 16) & 63]);
  }
  return text + tail;
}

/// Just under 2 MiB of small records: short strings, integers, doubles,
/// literals and a small array each.
std::string records_message() {
  std::string text = R"({"type":"batch","records":[)";
  for (int i = 0;; ++i) {
    const std::string n = std::to_string(i);
    std::string record = R"({"id":)" + n + R"(,"name":"file-)" + n + R"(.bin","size":)" +
                         std::to_string(i * 7919L % 100000007L) + R"(,"ratio":0.)" +
                         std::to_string(i % 997 + 1) + R"(,"offset":-)" + n + R"(,"done":)" +
                         (i % 3 == 0 ? "true" : "false") + R"(,"parent":null,"tags":["a","bc",)" +
                         std::to_string(i % 10) + "]}";
    if (text.size() + record.size() + 3 > qlx::kMaxMessageBytes) break;
    if (i != 0) text.push_back(',');
    text += record;
  }
  return text + "]}";
}

/// An everyday message: one add_download of a few hundred bytes.
std::string add_download_message() {
  return R"({"type":"add_download","url":"https://downloads.example.com/releases/v2.4.1/)"
         R"(installer-x86_64.msi?token=9f8e7d6c5b4a3210","referrer":"https://example.com/",)"
         R"("filename":"installer-x86_64.msi","file_size":48211968,"source":"context_menu",)"
         R"("browser_id":"chrome","extension_id":"abcdefghijklmnopabcdefghijklmnop",)"
         R"("extension_version":"1.4.2","cookies":null,"headers":{"User-Agent":"Mozilla/5.0"}})";
}

const std::string& message(int which) {
  static const std::string blob = blob_chunk_message();
  static const std::string records = records_message();
  static const std::string add_download = add_download_message();
  return which == 0 ? blob : which == 1 ? records : add_download;
}

/// Reads the message again and again with `read`, which returns a Result.
template <typename Read>
void read_with(benchmark::State& state, int which, Read read) {
  const std::string& text = message(which);
  for (auto _ : state) {
    auto got = read(text);
    if (!got) state.SkipWithError(got.error().text.c_str());
    benchmark::DoNotOptimize(got);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void parse_ours(benchmark::State& state, int which) {
  read_with(state, which, [](const std::string& text) { return qlx::parse_json(text); });
}

void message_ours(benchmark::State& state, int which) {
  read_with(state, which, [](const std::string& text) { return qlx::parse_message(text); });
}

void indented_from_text(benchmark::State& state, int which) {
  const qlx::Message read = *qlx::parse_message(message(which));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text;
    (void)qlx::write_indented_message(read, [&text](std::string_view piece) {
      text += piece;
      return qlx::Result<void>();
    });
    bytes += text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void parse_nlohmann(benchmark::State& state, int which) {
  const std::string& text = message(which);
  for (auto _ : state) {
    auto value = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

template <typename Write>
void write_with(benchmark::State& state, int which, Write write) {
  const qlx::Json value = *qlx::parse_json(message(which));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = write(value);
    bytes += text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void compact_ours(benchmark::State& state, int which) {
  write_with(state, which, [](const qlx::Json& v) { return qlx::to_compact_json(v); });
}
void compact_nlohmann(benchmark::State& state, int which) {
  write_with(state, which, [](const qlx::Json& v) { return v.dump(); });
}
void indented_ours(benchmark::State& state, int which) {
  write_with(state, which, [](const qlx::Json& v) { return qlx::to_indented_json(v); });
}
void indented_nlohmann(benchmark::State& state, int which) {
  write_with(state, which, [](const qlx::Json& v) { return v.dump(2); });
}

constexpr int kBlob = 0;
constexpr int kRecords = 1;
constexpr int kAddDownload = 2;

BENCHMARK_CAPTURE(parse_ours, blob_chunk, kBlob);
BENCHMARK_CAPTURE(parse_nlohmann, blob_chunk, kBlob);
BENCHMARK_CAPTURE(parse_ours, records, kRecords);
BENCHMARK_CAPTURE(parse_nlohmann, records, kRecords);
BENCHMARK_CAPTURE(parse_ours, add_download, kAddDownload);
BENCHMARK_CAPTURE(parse_nlohmann, add_download, kAddDownload);
BENCHMARK_CAPTURE(message_ours, blob_chunk, kBlob);
BENCHMARK_CAPTURE(message_ours, records, kRecords);
BENCHMARK_CAPTURE(message_ours, add_download, kAddDownload);
BENCHMARK_CAPTURE(compact_ours, blob_chunk, kBlob);
BENCHMARK_CAPTURE(compact_nlohmann, blob_chunk, kBlob);
BENCHMARK_CAPTURE(compact_ours, records, kRecords);
BENCHMARK_CAPTURE(compact_nlohmann, records, kRecords);
BENCHMARK_CAPTURE(compact_ours, add_download, kAddDownload);
BENCHMARK_CAPTURE(compact_nlohmann, add_download, kAddDownload);
BENCHMARK_CAPTURE(indented_ours, blob_chunk, kBlob);
BENCHMARK_CAPTURE(indented_nlohmann, blob_chunk, kBlob);
BENCHMARK_CAPTURE(indented_ours, records, kRecords);
BENCHMARK_CAPTURE(indented_nlohmann, records, kRecords);
BENCHMARK_CAPTURE(indented_ours, add_download, kAddDownload);
BENCHMARK_CAPTURE(indented_nlohmann, add_download, kAddDownload);
BENCHMARK_CAPTURE(indented_from_text, blob_chunk, kBlob);
BENCHMARK_CAPTURE(indented_from_text, records, kRecords);
BENCHMARK_CAPTURE(indented_from_text, add_download, kAddDownload);

}  // namespace
