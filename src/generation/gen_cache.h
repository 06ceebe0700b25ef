// AGPCache: the generation cache of one template package. Translating a template into script
// modules is the slow part of a generation, so each template package gets a working folder
// (UserDataFolder()/Templates/<name>) whose "cache" subfolder holds the translated modules and
// cache.xml. That file records, for every input the modules depend on (the package, its control
// file, the extensions and their files, each module), the time and size it had when the cache was
// last written; comparing them with the files at hand tells what must be translated again.
//
//   <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
//   <Cache Product="Velmora" Version="12.0.0" >
//   <CacheEntry Group="template" Key="template" DateTime="2015/12/01 09:05:00" Size="1024" />
//   </Cache>
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

// Modification time of a file or folder as a Date (local time, whole seconds); Empty when missing.
Variant FileDateTime(std::string_view path);

// The cache's text form of a time, "yyyy/mm/dd hh:nn:ss" (2015/12/01 09:05:00). A text in that
// form (one-digit parts accepted) is normalised; anything that is not a date gives "".
std::string CacheDateText(const Variant& dt);

// What the cache records of an input. A file: its time and size. A folder (a package kept
// unpacked): the newest time of the folder and everything below it, and the total size of its
// files, so that an edited, added or removed file changes the stamp. exists=false when the path
// is neither.
struct FileStamp {
    Variant date;
    std::int64_t size = 0;
    bool exists = false;
};
FileStamp StampOf(std::string_view path);

// The folder name a template or extension package gets below the working folders: the file name
// without its folder, blanks, "/" and "\" removed.
std::string PackageFolderName(std::string_view packageFile);

class AGPCache : public AutomationObject {
public:
    // Makes the working folders of the template package `templateName` and reads its cache.xml. A
    // file in the place of the template folder is moved aside (name + "." + yyyymmddhhnnss). A
    // cache file that does not parse, or whose root is not "Cache", leaves the list empty, which
    // makes every input count as changed. False, with the reason in ProjErr, when a folder cannot
    // be made or the name leaves no folder name.
    bool Open(std::string_view templateName);

    const std::string& TemplateFolder() const { return templateFolder_; }  // .../Templates/<name>
    const std::string& CacheFolder() const { return cacheFolder_; }        // TemplateFolder()/cache
    const std::string& CacheFile() const { return cacheFile_; }            // CacheFolder()/cache.xml

    // Records the input's time (stored in the CacheDateText form) and size; an entry of the same
    // group and key (letter case aside) is updated in place, else one is appended. Always true.
    bool AddCache(std::string_view sGroup, std::string_view sKey, const Variant& dt, const Variant& size);
    // Removes the first entry of that group and key; false when there is none.
    bool DeleteCache(std::string_view sGroup, std::string_view sKey);
    // Removes every entry of the group; false when it had none.
    bool DeleteCacheGroup(std::string_view sGroup);
    // Empties the list; the file changes only with WriteCacheFile.
    void DeleteAllCache();
    // 2 when the input is not recorded, 0 when its recorded time and size equal `dt` and `size`,
    // 1 when either differs.
    std::int32_t CheckCache(std::string_view sGroup, std::string_view sKey, const Variant& dt,
                            const Variant& size) const;
    // The recorded time as a Date; the empty date (serial 0) when the input is not recorded or its
    // time is not a date, which callers take as "translate again".
    Variant GetCacheDate(std::string_view sGroup, std::string_view sKey) const;
    // Whether the group's keys are exactly the keys of the comma-separated list (letter case and
    // blanks around keys aside). An empty list matches only an empty group.
    bool MatchCacheGroup(std::string_view sGroup, std::string_view sList) const;
    // Rewrites cache.xml from the list through a temporary file, so a failed write keeps the old
    // file. The same list always gives the same bytes. False with the reason in ProjErr.
    bool WriteCacheFile();
    std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }

    // CheckCache with the stamp of a file or package folder; -1 when the path is missing.
    std::int32_t CheckFile(std::string_view sGroup, std::string_view sKey, std::string_view path) const;
    // AddCache with the stamp of a file or package folder; nothing when the path is missing.
    void UpdateFile(std::string_view sGroup, std::string_view sKey, std::string_view path);

    // Deletes every translated module ("*.tpl") of the cache folder and the group "tpl": the
    // template package changed, so every module must be translated again.
    void DropModules();
    // Records every file of the cache folder other than "*.xml" in the group "tpl" (key: the file
    // name), in name order; done after the modules are written.
    void RecordModules();

private:
    struct Entry {
        std::string group, key, dateTime, size;
    };
    // The first entry of that group and key, or end.
    std::vector<Entry>::const_iterator Find(std::string_view group, std::string_view key) const;
    void Store(std::string_view group, std::string_view key, std::string dateTime, std::string size);
    std::int32_t Compare(std::string_view group, std::string_view key, std::string_view dateTime,
                         std::string_view size) const;
    void ReadCacheFile();

    std::vector<Entry> entries_;
    std::string templateFolder_, cacheFolder_, cacheFile_;
};

}  // namespace velmora
