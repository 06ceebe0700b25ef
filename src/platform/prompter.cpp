#include "platform/prompter.h"

#include <algorithm>
#include <fmt/format.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

struct ButtonAnswers {
    Buttons buttons;
    std::vector<std::string_view> answers;
};

const std::vector<ButtonAnswers>& ButtonTable() {
    static const std::vector<ButtonAnswers> table{
        {Buttons::Ok, {"ok"}},
        {Buttons::OkCancel, {"ok", "cancel"}},
        {Buttons::YesNo, {"yes", "no"}},
        {Buttons::YesNoCancel, {"yes", "no", "cancel"}},
    };
    return table;
}

std::string TitleOrProduct(std::string_view title) {
    return title.empty() ? std::string(kProductName) : std::string(title);
}

bool Contains(const std::vector<std::string>& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::mutex prompterMutex;
std::shared_ptr<Prompter>& PrompterSlot() {
    static std::shared_ptr<Prompter> prompter;
    return prompter;
}

}  // namespace

std::vector<std::string> AllowedAnswers(const Question& question) {
    std::vector<std::string> answers;
    if (!question.choices.empty()) {
        for (const auto& choice : question.choices) answers.push_back(choice.key);
        return answers;
    }
    for (const auto& row : ButtonTable()) {
        if (row.buttons == question.buttons) answers.assign(row.answers.begin(), row.answers.end());
    }
    return answers;
}

std::string SafeDefault(const Question& question) {
    auto allowed = AllowedAnswers(question);
    if (!question.defaultAnswer.empty() && Contains(allowed, question.defaultAnswer)) {
        return question.defaultAnswer;
    }
    for (std::string_view fallback : {"cancel", "no", "ok"}) {
        if (Contains(allowed, fallback)) return std::string(fallback);
    }
    return allowed.empty() ? std::string() : allowed.front();
}

std::string MatchAnswer(const Question& question, std::string_view reply) {
    std::string wanted = Trim(reply);
    if (wanted.empty()) return {};
    auto allowed = AllowedAnswers(question);
    std::vector<std::string> labels = allowed;
    if (!question.choices.empty()) {
        for (std::size_t i = 0; i < question.choices.size(); ++i) {
            labels[i] = question.choices[i].label;
            if (wanted == std::to_string(i + 1)) return allowed[i];
        }
    }
    for (std::size_t i = 0; i < allowed.size(); ++i) {
        if (EqualsNoCase(wanted, allowed[i]) || EqualsNoCase(wanted, labels[i])) return allowed[i];
    }
    std::string found;
    for (std::size_t i = 0; i < allowed.size(); ++i) {
        if (!StartsWithNoCase(allowed[i], wanted) && !StartsWithNoCase(labels[i], wanted)) continue;
        if (!found.empty()) return {};  // ambiguous
        found = allowed[i];
    }
    return found;
}

void Prompter::Notify(MessageKind kind, std::string_view title, std::string_view text) {
    CurrentStatusSink()->Message(kind, TitleOrProduct(title), text);
}

// --- terminal ---

Answer TerminalPrompter::Ask(const Question& question) {
    auto allowed = AllowedAnswers(question);
    std::string fallback = SafeDefault(question);
    out_ << '\n' << TitleOrProduct(question.title) << ": " << question.message << '\n';
    std::string offer;
    for (std::size_t i = 0; i < allowed.size(); ++i) {
        if (i > 0) offer += " / ";
        offer += question.choices.empty() ? allowed[i]
                                          : fmt::format("{}) {}", i + 1, question.choices[i].label);
    }
    while (true) {
        out_ << offer << " [default: " << fallback << "]: ";
        out_.flush();
        std::string line;
        if (!std::getline(in_, line)) {
            out_ << '\n';
            return {fallback, true};
        }
        if (Trim(line).empty()) return {fallback, true};
        std::string answer = MatchAnswer(question, line);
        if (!answer.empty()) return {answer, false};
        out_ << "Please answer one of: " << offer << '\n';
    }
}

// --- non-interactive, policy, answers file ---

Answer NonInteractivePrompter::Ask(const Question& question) {
    Answer answer{SafeDefault(question), true};
    if (auto given = Lookup(question)) {
        std::string matched = MatchAnswer(question, *given);
        if (!matched.empty()) {
            answer = {matched, false};
        } else {
            CurrentStatusSink()->Message(
                MessageKind::Warning, kProductName,
                fmt::format("'{}' is no answer to the question '{}'; '{}' is taken.", *given,
                            question.id, answer.value));
        }
    }
    asked_.push_back({question.id, question.message, answer.value, answer.byDefault});
    return answer;
}

void NonInteractivePrompter::Notify(MessageKind kind, std::string_view title,
                                    std::string_view text) {
    shown_.push_back({kind, TitleOrProduct(title), std::string(text)});
    Prompter::Notify(kind, title, text);
}

bool PolicyPrompter::Set(std::string_view assignment) {
    std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) return false;
    std::string id = Trim(assignment.substr(0, equals));
    std::string answer = Trim(assignment.substr(equals + 1));
    if (id.empty() || answer.empty()) return false;
    Set(id, answer);
    return true;
}

void PolicyPrompter::Set(std::string_view id, std::string_view answer) {
    answers_[ToLowerAscii(id)] = std::string(answer);
}

std::optional<std::string> PolicyPrompter::Lookup(const Question& question) {
    auto found = answers_.find(ToLowerAscii(question.id));
    if (found == answers_.end()) return std::nullopt;
    return found->second;
}

bool AnswersFilePrompter::Load(std::string_view path) {
    entries_.clear();
    lastError_.clear();
    std::ifstream in{std::string(path)};
    if (!in) {
        lastError_ = fmt::format("Answers file '{}' cannot be read.", path);
        return false;
    }
    auto document = nlohmann::json::parse(in, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        lastError_ = fmt::format("Answers file '{}' is not a JSON object of answers.", path);
        return false;
    }
    for (const auto& [id, value] : document.items()) {
        Entry entry;
        if (value.is_string()) {
            entry.answers.push_back(value.get<std::string>());
            entry.repeats = true;
        } else if (value.is_array() && std::all_of(value.begin(), value.end(),
                                                   [](const auto& v) { return v.is_string(); })) {
            for (const auto& item : value)
                entry.answers.push_back(item.template get<std::string>());
        } else {
            lastError_ = fmt::format(
                "Answers file '{}': the answer to '{}' must be a text or a list of texts.", path,
                id);
            entries_.clear();
            return false;
        }
        entries_[ToLowerAscii(id)] = std::move(entry);
    }
    return true;
}

std::optional<std::string> AnswersFilePrompter::Lookup(const Question& question) {
    auto found = entries_.find(ToLowerAscii(question.id));
    if (found == entries_.end()) return std::nullopt;
    Entry& entry = found->second;
    if (entry.repeats) return entry.answers.front();
    if (entry.used >= entry.answers.size()) return std::nullopt;
    return entry.answers[entry.used++];
}

// --- current prompter ---

std::shared_ptr<Prompter> CurrentPrompter() {
    std::lock_guard lock(prompterMutex);
    auto& prompter = PrompterSlot();
    if (!prompter) {
        if (::isatty(STDIN_FILENO)) {
            prompter = std::make_shared<TerminalPrompter>(std::cin, std::cerr);
        } else {
            prompter = std::make_shared<NonInteractivePrompter>();
        }
    }
    return prompter;
}

void SetPrompter(std::shared_ptr<Prompter> prompter) {
    std::lock_guard lock(prompterMutex);
    PrompterSlot() = std::move(prompter);
}

Answer Ask(const Question& question) { return CurrentPrompter()->Ask(question); }

void ShowMessage(std::string_view text, std::string_view title, MessageKind kind) {
    CurrentPrompter()->Notify(kind, title, text);
}

}  // namespace velmora
