#include "generation/cache_script_class.h"

#include "generation/gen_cache.h"
#include "template/bind_helpers.h"

namespace velmora {

void BindGenerationCache(ScriptClassMap& classes) {
    using bind::Args;
    bind::ClassBuilder<AGPCache>(classes, "AGPCache")
        .Method("Open", &AGPCache::Open)
        .Method("AddCache", &AGPCache::AddCache)
        .Method("DeleteCache", &AGPCache::DeleteCache)
        .Method("DeleteCacheGroup", &AGPCache::DeleteCacheGroup)
        .Method("DeleteAllCache", 0, [](AGPCache& cache, const Args&) { cache.DeleteAllCache(); })
        .Method("CheckCache", &AGPCache::CheckCache)
        .Method("GetCacheDate", &AGPCache::GetCacheDate)
        .Method("MatchCacheGroup", &AGPCache::MatchCacheGroup)
        .Method("WriteCacheFile", &AGPCache::WriteCacheFile);
}

}  // namespace velmora
