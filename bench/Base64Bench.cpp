// Base64Encode against OpenSSL's EVP_EncodeBlock on the same 8 MB.
#include "BenchSupport.h"
#include "cloud/Base64.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

namespace {

constexpr std::size_t kInputSize = 8 * 1024 * 1024;

const std::vector<unsigned char>& Input() {
    static const std::vector<unsigned char> input = [] {
        std::vector<unsigned char> bytes(kInputSize);
        std::mt19937 random(42);
        for (auto& b : bytes) {
            b = static_cast<unsigned char>(random());
        }
        return bytes;
    }();
    return input;
}

void BM_Base64Encode_8MB(benchmark::State& state) {
    const auto& input = Input();
    for (auto _ : state) {
        std::string text = kelsor::Base64Encode(input.data(), input.size());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_OpenSSL_EVP_EncodeBlock_8MB(benchmark::State& state) {
    const auto& input = Input();
    std::vector<unsigned char> out(4 * ((input.size() + 2) / 3) + 1);
    for (auto _ : state) {
        const int length =
            EVP_EncodeBlock(out.data(), input.data(), static_cast<int>(input.size()));
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

BENCHMARK(BM_Base64Encode_8MB)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_OpenSSL_EVP_EncodeBlock_8MB)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Same input size, so the throughput ratio (bytes per CPU second, as the
// table shows it) is the inverse time ratio.
[[maybe_unused]] const bool g_ratio =
    (kelsor::bench::AddRatio(
         "base64_vs_openssl",
         [] {
             const double ours =
                 kelsor::bench::BestSeconds("BM_Base64Encode_8MB", kelsor::bench::Clock::Cpu);
             const double openssl = kelsor::bench::BestSeconds("BM_OpenSSL_EVP_EncodeBlock_8MB",
                                                               kelsor::bench::Clock::Cpu);
             return ours > 0 ? openssl / ours : 0.0;
         },
         100),
     true);

}  // namespace
