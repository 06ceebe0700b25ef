#include "template/file_cache.h"

#include <filesystem>

#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"
#include "support/text_file.h"
#include "template/marks.h"

namespace velmora {
namespace {

// Work charged for each piece besides its text, so that many empty pieces also hit the bound.
constexpr std::size_t kPieceCost = 32;

void Refresh(AGPStatus* status) {
    if (status != nullptr) status->Refresh();
}

class SessionExpander {
public:
    SessionExpander(const AGPFileCache& cache, AGPStatus* status) : cache_(cache), status_(status) {}

    std::vector<std::string> Run(std::string_view fileName, std::string_view sessName) {
        Expand(fileName, sessName, 0);
        if (pieces_.empty()) pieces_.emplace_back();
        return std::move(pieces_);
    }

private:
    void Expand(std::string_view fileName, std::string_view sessName, int depth) {
        const std::string* stored = cache_.FindSession(fileName, sessName);
        std::string_view text = stored != nullptr ? std::string_view(*stored) : std::string_view();
        std::size_t pos = 0;
        for (std::size_t at = FindMarkNoCase(text, kIncludeOpen, 0); at != std::string_view::npos;
             at = FindMarkNoCase(text, kIncludeOpen, pos)) {
            Refresh(status_);
            if (!Add(text.substr(pos, at - pos), fileName, sessName)) return;
            std::size_t argStart = at + kIncludeOpen.size();
            std::size_t close = text.find(kBlockClose, argStart);
            if (close == std::string_view::npos) {
                pos = at;
                break;
            }
            pos = close + kBlockClose.size();
            std::string_view argument = TrimSpaces(text.substr(argStart, close - argStart));
            std::size_t slash = argument.find('/');
            if (slash == std::string_view::npos || argument.find('/', slash + 1) != std::string_view::npos)
                continue;
            // Stored session names are trimmed, so the session part is compared trimmed as well.
            std::string_view file = TrimSpaces(argument.substr(0, slash));
            std::string_view session = TrimSpaces(argument.substr(slash + 1));
            if (depth + 1 > kMaxIncludeDepth) {
                Fail("Includes nested more than " + std::to_string(kMaxIncludeDepth) + " deep at session \"" +
                     std::string(sessName) + "\" of template file \"" + std::string(fileName) + "\" (including \"" +
                     std::string(file) + "/" + std::string(session) + "\"): sessions include each other.");
                failed_ = true;
                return;
            }
            Expand(file, session, depth + 1);
            if (failed_) return;
        }
        Add(text.substr(pos), fileName, sessName);
    }

    bool Add(std::string_view piece, std::string_view fileName, std::string_view sessName) {
        spent_ += piece.size() + kPieceCost;
        if (spent_ > kMaxExpandedSession) {
            Fail("Session \"" + std::string(sessName) + "\" of template file \"" + std::string(fileName) +
                 "\" expands to more than " + std::to_string(kMaxExpandedSession >> 20) +
                 " MB of template text: check its include directives.");
            failed_ = true;
            return false;
        }
        pieces_.emplace_back(piece);
        return true;
    }

    const AGPFileCache& cache_;
    AGPStatus* status_;
    std::vector<std::string> pieces_;
    std::size_t spent_ = 0;
    bool failed_ = false;
};

}  // namespace

void AGPFileCache::Clear() {
    entries_.clear();
    index_.clear();
}

std::string AGPFileCache::Key(std::string_view fileName, std::string_view sessionName) {
    // Length-prefixed, so that no pair of names can run into another.
    std::string key = std::to_string(fileName.size());
    key += ':';
    key += fileName;
    key += sessionName;
    return key;
}

void AGPFileCache::Store(std::string_view fileName, std::string_view sessionName, std::string_view text) {
    auto [it, added] = index_.try_emplace(Key(fileName, sessionName), entries_.size());
    if (added) {
        entries_.push_back({std::string(fileName), std::string(sessionName), std::string(text)});
    } else {
        entries_[it->second].text.assign(text);
    }
}

void AGPFileCache::AddFile(std::string_view FilePath, std::string_view FileName, AGPStatus* status) {
    std::string path = ReplaceAll(FilePath, "\\", "/");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    AddText(ReadTextFile(path), FileName, status);
}

void AGPFileCache::AddText(std::string_view text, std::string_view FileName, AGPStatus* status) {
    // The first closing mark at or behind a position; found once and reused while it lies ahead.
    std::size_t closeMark = 0;
    bool closeSearched = false;
    std::size_t at = FindMarkNoCase(text, kSessionOpen, 0);
    while (at != std::string_view::npos) {
        std::size_t nameStart = at + kSessionOpen.size();
        std::size_t nameEnd = text.find(kBlockClose, nameStart);
        if (nameEnd == std::string_view::npos) return;
        Refresh(status);
        std::size_t body = nameEnd + kBlockClose.size();
        if (!closeSearched || (closeMark != std::string_view::npos && closeMark < body)) {
            closeMark = FindMarkNoCase(text, kSessionClose, body);
            closeSearched = true;
        }
        if (closeMark != std::string_view::npos) {
            Store(FileName, TrimSpaces(text.substr(nameStart, nameEnd - nameStart)),
                  text.substr(body, closeMark - body));
        }
        at = FindMarkNoCase(text, kSessionOpen, body);
    }
}

const std::string* AGPFileCache::FindSession(std::string_view FileName, std::string_view SessName) const {
    auto it = index_.find(Key(FileName, SessName));
    return it == index_.end() ? nullptr : &entries_[it->second].text;
}

std::string AGPFileCache::GetSession(std::string_view FileName, std::string_view SessName) const {
    const std::string* text = FindSession(FileName, SessName);
    return text != nullptr ? *text : std::string();
}

AGPFileCache& FileCache() {
    static AGPFileCache cache;
    return cache;
}

std::vector<std::string> ExpandSession(const AGPFileCache& cache, std::string_view fileName,
                                       std::string_view sessName, AGPStatus* status) {
    return SessionExpander(cache, status).Run(fileName, sessName);
}

std::string ListIncludedFiles(std::string_view text) {
    std::string files;
    bool first = true;
    for (std::size_t at = FindMarkNoCase(text, kIncludeOpen, 0); at != std::string_view::npos;) {
        std::size_t argStart = at + kIncludeOpen.size();
        std::size_t close = text.find(kBlockClose, argStart);
        if (close == std::string_view::npos) break;
        std::string_view argument = text.substr(argStart, close - argStart);
        std::size_t slash = argument.rfind('/');
        if (slash != std::string_view::npos) argument = argument.substr(0, slash);
        if (!first) files += ',';
        files += TrimSpaces(argument);
        first = false;
        at = FindMarkNoCase(text, kIncludeOpen, close + kBlockClose.size());
    }
    return files;
}

}  // namespace velmora
