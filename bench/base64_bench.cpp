// The strict Base64 decoder alone, on one chunk of the largest size a
// transfer message may carry (900,000 symbols, 675,000 bytes).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "transfer/base64.h"

namespace {

std::string random_chunk_text(std::size_t symbols) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937 random(1);
  std::string text(symbols, 'A');
  for (char& c : text) c = kAlphabet[random() % 64];
  return text;
}

void BM_DecodeBase64Chunk(benchmark::State& state) {
  const std::string text = random_chunk_text(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto bytes = qlx::decode_base64(text);
    benchmark::DoNotOptimize(bytes);
  }
  // Bytes per second count the Base64 text read.
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_DecodeBase64Chunk)->Arg(900'000)->Arg(4'096);

}  // namespace
