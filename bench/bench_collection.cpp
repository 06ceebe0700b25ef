// Keyed collection: building collections of keyed items and looking items up by key, at the
// sizes the model's field and property collections reach.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "model/core/super_collection.h"

namespace {

using velmora::CSuperCollection;
using velmora::Variant;

std::vector<std::string> MakeKeys(std::int64_t n) {
    std::vector<std::string> keys;
    keys.reserve(static_cast<std::size_t>(n));
    // Not in sorted order, as field names seldom are.
    for (std::int64_t i = 0; i < n; ++i) keys.push_back("Field_" + std::to_string((i * 7919) % n));
    return keys;
}

void BM_AddKeyed(benchmark::State& state, std::int32_t mode) {
    auto keys = MakeKeys(state.range(0));
    for (auto _ : state) {
        CSuperCollection c;
        c.SetCompareMode(mode);
        for (std::size_t i = 0; i < keys.size(); ++i)
            c.Add(Variant(static_cast<std::int32_t>(i)), keys[i]);
        benchmark::DoNotOptimize(c.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LookupByKey(benchmark::State& state, std::int32_t mode) {
    auto keys = MakeKeys(state.range(0));
    CSuperCollection c;
    c.SetCompareMode(mode);
    for (std::size_t i = 0; i < keys.size(); ++i)
        c.Add(Variant(static_cast<std::int32_t>(i)), keys[i]);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.FindByKey(keys[i]));
        if (++i == keys.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ItemByKeyVariant(benchmark::State& state) {
    auto keys = MakeKeys(state.range(0));
    CSuperCollection c;
    c.SetCompareMode(velmora::kTextCompare);
    std::vector<Variant> indexes;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        c.Add(Variant(static_cast<std::int32_t>(i)), keys[i]);
        indexes.emplace_back(keys[i]);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.Item(indexes[i]));
        if (++i == indexes.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(BM_AddKeyed, binary, velmora::kBinaryCompare)->Arg(1000)->Arg(10000);
BENCHMARK_CAPTURE(BM_AddKeyed, text, velmora::kTextCompare)->Arg(1000)->Arg(10000);
BENCHMARK_CAPTURE(BM_LookupByKey, binary, velmora::kBinaryCompare)->Arg(1000)->Arg(10000);
BENCHMARK_CAPTURE(BM_LookupByKey, text, velmora::kTextCompare)->Arg(1000)->Arg(10000);
BENCHMARK(BM_ItemByKeyVariant)->Arg(1000)->Arg(10000);
