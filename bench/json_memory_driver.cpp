// Peak heap use of parse_json on 2 MiB messages of the shapes that cost the
// value tree the most per input byte.  Prints one line per shape: the peak
// bytes allocated while parsing (and holding the value), beside nlohmann's
// own parser on the same text.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "base/json.h"
#include "host/channel.h"

namespace {

std::size_t live_bytes = 0;
std::size_t peak_bytes = 0;

}  // namespace

// Every allocation carries its size in a 16-byte header, so that frees can be counted.
void* operator new(std::size_t size) {
  auto* block = static_cast<std::size_t*>(std::malloc(size + 16));
  if (block == nullptr) throw std::bad_alloc();
  *block = size;
  live_bytes += size;
  if (live_bytes > peak_bytes) peak_bytes = live_bytes;
  return reinterpret_cast<char*>(block) + 16;
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - 16);
  live_bytes -= *block;
  std::free(block);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

/// `open`, then `item` separated by commas up to the inbound limit, then `close`.
std::string repeated(const std::string& open, const std::string& close, std::string (*item)(int)) {
  std::string text = open;
  for (int i = 0;; ++i) {
    const std::string next = item(i);
    if (text.size() + next.size() + 1 + close.size() > qlx::kMaxMessageBytes) break;
    if (i != 0) text.push_back(',');
    text += next;
  }
  return text + close;
}

}  // namespace

int main() {
  struct Shape {
    const char* name;
    std::string text;
  };
  const Shape shapes[] = {
      {"empty objects [{},...]", repeated("[", "]", [](int) { return std::string("{}"); })},
      {"empty arrays [[],...]", repeated("[", "]", [](int) { return std::string("[]"); })},
      {"empty strings [\"\",...]", repeated("[", "]", [](int) { return std::string("\"\""); })},
      {"digits [0,...]", repeated("[", "]", [](int) { return std::string("0"); })},
      {"members {\"k\":0,...}", repeated("{", "}",
                                         [](int i) {
                                           std::string member(1, '"');
                                           member += std::to_string(i);
                                           member += "\":0";
                                           return member;
                                         })},
      {"one string", std::string(qlx::kMaxMessageBytes - 2, 'A').insert(0, 1, '"') + '"'},
  };
  std::printf("%-28s %9s %14s %14s\n", "shape", "input", "parse_json", "nlohmann");
  for (const Shape& shape : shapes) {
    std::size_t before = live_bytes;
    peak_bytes = live_bytes;
    {
      auto value = qlx::parse_json(shape.text);
      if (!value) {
        std::printf("%s: %s\n", shape.name, value.error().text.c_str());
        return 1;
      }
    }
    const std::size_t ours = peak_bytes - before;
    before = live_bytes;
    peak_bytes = live_bytes;
    { auto value = nlohmann::json::parse(shape.text); }
    const std::size_t theirs = peak_bytes - before;
    const auto ratio = [&](std::size_t bytes) {
      return static_cast<double>(bytes) / static_cast<double>(shape.text.size());
    };
    std::printf("%-28s %9zu %8.1f MB %3.0fx %8.1f MB %3.0fx\n", shape.name, shape.text.size(),
                static_cast<double>(ours) / 1e6, ratio(ours), static_cast<double>(theirs) / 1e6,
                ratio(theirs));
  }
  return 0;
}
