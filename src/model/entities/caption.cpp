#include "model/entities/caption.h"

#include <algorithm>

#include "support/text.h"

namespace velmora {
namespace {

constexpr std::string_view kKeptWordStarts = "<([{0123456789";

void AppendCaptionWord(std::string& caption, std::string_view word) {
    if (!caption.empty()) caption += ' ';
    std::size_t start = caption.size();
    caption += word;
    if (kKeptWordStarts.find(word.front()) != std::string_view::npos) return;
    char& first = caption[start];
    if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
}

}  // namespace

std::string CaptionFromName(std::string_view name) {
    std::string text = Trim(name);
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '-' || c == '_'; }, ' ');
    std::string caption;
    for (const std::string& word : Split(text, ' '))
        if (!word.empty()) AppendCaptionWord(caption, word);
    return caption;
}

}  // namespace velmora
