// Fuzz target: arbitrary bytes as a template's cache.xml. Opening the cache must succeed with
// whatever entries it could read; writing them out and reading that file again must give the same
// entries and, written once more, the same bytes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "generation/gen_cache.h"
#include "support/engine_state.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path cacheFolder = velmora::fuzz::PrivateFolder() / "documents/Templates/fuzz.zip/cache";
    std::error_code ec;
    std::filesystem::create_directories(cacheFolder, ec);
    velmora::fuzz::WriteInput(cacheFolder / "cache.xml", data, size);
    velmora::Engine().ProjErr.clear();

    velmora::AGPCache cache;
    Check(cache.Open("fuzz.zip"));
    Check(cache.CacheFolder() == cacheFolder.string());
    const std::int32_t count = cache.Count();
    Check(count >= 0);
    (void)cache.MatchCacheGroup("extension", "a,b");
    (void)cache.GetCacheDate("tpl", "list.tpl");
    (void)velmora::CacheDateText(velmora::Variant(std::string(reinterpret_cast<const char*>(data), size)));

    Check(cache.WriteCacheFile());
    const std::string first = ReadAll(cache.CacheFile());
    velmora::AGPCache reread;
    Check(reread.Open("fuzz.zip"));
    Check(reread.Count() == count);
    Check(reread.WriteCacheFile());
    Check(ReadAll(reread.CacheFile()) == first);

    cache.DeleteAllCache();
    Check(cache.Count() == 0);
    return 0;
}
