// AGPFileCache: the session store. A template file may hold named sections,
//   <!--##session name##--> text <!--##/session##-->
// which the control file picks by name ("sessions"). The store keeps every section of the files
// added, under the name the control file uses for the file (not its path). A session's text may
// include another file's session with <!--##include file/session##-->, expanded on retrieval.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/variant.h"

namespace velmora {

class AGPStatus;

// Include directives nested deeper than this fail: sessions that include each other.
inline constexpr int kMaxIncludeDepth = 32;
// Upper bound of an expanded session (text bytes, plus a little per piece), so that sessions
// that include others many times over fail instead of exhausting memory.
inline constexpr std::size_t kMaxExpandedSession = std::size_t{64} << 20;

class AGPFileCache : public AutomationObject {
public:
    void Clear();
    // Reads the file at `FilePath` and stores its sessions under `FileName`. A missing file adds
    // nothing and is no error.
    void AddFile(std::string_view FilePath, std::string_view FileName, AGPStatus* status = nullptr);
    // AddFile for a text at hand: stores the sessions of `text` under `FileName`. A section
    // without closing mark is skipped; a session already stored under the same file and session
    // name (compared exactly) gets the new text and keeps its place.
    void AddText(std::string_view text, std::string_view FileName, AGPStatus* status = nullptr);
    // The stored text, or "" when there is none.
    std::string GetSession(std::string_view FileName, std::string_view SessName) const;
    // The stored text, or nullptr; valid until the store changes.
    const std::string* FindSession(std::string_view FileName, std::string_view SessName) const;

    std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }

private:
    struct Entry {
        std::string fileName;
        std::string sessionName;
        std::string text;
    };
    void Store(std::string_view fileName, std::string_view sessionName, std::string_view text);
    static std::string Key(std::string_view fileName, std::string_view sessionName);

    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

// The engine's one session store, shared by every parser; created on first use.
AGPFileCache& FileCache();

// The session `sessName` of `fileName` with its include directives expanded, as the pieces to
// translate one by one: the text before a directive, the pieces of the included session, the
// text after it. Always at least one piece ("" for an unknown session). A directive whose
// argument is not exactly "file/session" is dropped; one without "##-->" leaves the rest of the
// text as it stands. Includes nested too deep or expanding too far stop the expansion with the
// reason in ProjErr.
std::vector<std::string> ExpandSession(const AGPFileCache& cache, std::string_view fileName,
                                       std::string_view sessName, AGPStatus* status = nullptr);

// The file names of the include directives of `text`, in order, duplicates kept, joined by ",".
std::string ListIncludedFiles(std::string_view text);

}  // namespace velmora
