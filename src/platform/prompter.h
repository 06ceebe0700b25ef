// Questions to the user (overwrite a file, keep or update a changed schema, ...) and message
// boxes that need no answer. Each question has a stable id, so a run can be answered from a
// terminal, from command-line policy flags ("overwrite-file=yes") or from an answers file. A run
// without a terminal never blocks: an unanswered question takes its safe default.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/status.h"

namespace velmora {

// Button sets of a message box. Their answers are "ok", "cancel", "yes" and "no".
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

struct Choice {
    std::string key;    // the answer, as policies and answers files name it ("overwrite")
    std::string label;  // what the user sees ("Overwrite")
};

struct Question {
    std::string id;  // "overwrite-file", "sync-keep-or-update", "primary-key", ...
    std::string message;
    std::string title;  // empty: the product name
    Buttons buttons = Buttons::Ok;
    std::vector<Choice> choices;  // when not empty, these are the answers instead of the buttons
    // The answer of a run nobody answers; it should be the one that changes nothing. When empty
    // or not an answer of the question, SafeDefault decides.
    std::string defaultAnswer;
};

struct Answer {
    std::string value;       // "ok", "cancel", "yes", "no" or a choice's key
    bool byDefault = false;  // nobody answered: the question's safe default was taken
    bool Is(std::string_view answer) const { return value == answer; }
};

// The answers a question accepts, in the order they are offered.
std::vector<std::string> AllowedAnswers(const Question& question);
// The question's defaultAnswer when it is allowed; else "cancel", then "no", then "ok" when
// allowed; else the first choice.
std::string SafeDefault(const Question& question);
// The allowed answer a reply names: its key or label, or a prefix of exactly one of them, without
// regard to case; for choices also its number from 1. Empty when the reply names none.
std::string MatchAnswer(const Question& question, std::string_view reply);

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual Answer Ask(const Question& question) = 0;
    // A message box with only an OK button: shown without waiting (on the status sink).
    virtual void Notify(MessageKind kind, std::string_view title, std::string_view text);
};

// Asks on a terminal: shows the question with its answers and reads a line; repeats on a reply
// that names no answer. An empty line or the end of input takes the safe default.
class TerminalPrompter : public Prompter {
public:
    TerminalPrompter(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
    Answer Ask(const Question& question) override;

private:
    std::istream& in_;
    std::ostream& out_;
};

struct AskedQuestion {
    std::string id;
    std::string message;
    std::string answer;
    bool byDefault = false;
};

struct ShownMessage {
    MessageKind kind = MessageKind::Info;
    std::string title;
    std::string text;
};

// Answers every question with its safe default, at once. Keeps a record of what was asked and
// shown, for tests and logs; the subclasses answer from a given set first.
class NonInteractivePrompter : public Prompter {
public:
    Answer Ask(const Question& question) override;
    void Notify(MessageKind kind, std::string_view title, std::string_view text) override;

    const std::vector<AskedQuestion>& Asked() const { return asked_; }
    const std::vector<ShownMessage>& Shown() const { return shown_; }

protected:
    // The answer given for the question, if any; it need not be allowed.
    virtual std::optional<std::string> Lookup(const Question&) { return std::nullopt; }

private:
    std::vector<AskedQuestion> asked_;
    std::vector<ShownMessage> shown_;
};

// Answers from command-line flags: id=answer, the id without regard to case.
class PolicyPrompter : public NonInteractivePrompter {
public:
    // "overwrite-file=yes"; false when the text has no "=" or an empty side.
    bool Set(std::string_view assignment);
    void Set(std::string_view id, std::string_view answer);

protected:
    std::optional<std::string> Lookup(const Question& question) override;

private:
    std::map<std::string, std::string> answers_;
};

// Answers from a JSON file: {"overwrite-file": "yes", "sync-keep-or-update": ["keep", "update"]}.
// A text answers every time; a list answers the question's successive askings in order, after
// which the safe default is taken.
class AnswersFilePrompter : public NonInteractivePrompter {
public:
    // False, with LastError() naming the file, when it cannot be read or has the wrong form.
    bool Load(std::string_view path);
    const std::string& LastError() const { return lastError_; }

protected:
    std::optional<std::string> Lookup(const Question& question) override;

private:
    struct Entry {
        std::vector<std::string> answers;
        bool repeats = false;  // a single text: answers every asking
        std::size_t used = 0;
    };
    std::map<std::string, Entry> entries_;
    std::string lastError_;
};

// The prompter every question goes to: a terminal prompter when stdin is a terminal, else the
// non-interactive one, until a host sets another. Setting nullptr goes back to that default.
std::shared_ptr<Prompter> CurrentPrompter();
void SetPrompter(std::shared_ptr<Prompter> prompter);

// Asks the current prompter.
Answer Ask(const Question& question);
// An OK message box (a warning, usually) through the current prompter; never blocks. An empty
// title means the product name.
void ShowMessage(std::string_view text, std::string_view title = {},
                 MessageKind kind = MessageKind::Warning);

}  // namespace velmora
