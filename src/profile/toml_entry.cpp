#include "profile/toml_entry.h"

#include <string>

namespace {

bool IsBareKeyCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '+';
}

// Reads the text's tokens as far as the shape needs: strings and comments are
// skipped whole, a run of names joined by dots is counted, and brackets and
// braces are counted as they open and close.
class ShapeScanner {
public:
    explicit ShapeScanner(std::string_view text) : text_(text) {}

    std::optional<ProfileProblem> Scan() {
        while (at_ < text_.size() && !problem_) {
            const char c = text_[at_];
            if (c == '\n') {
                ++line_;
                ++at_;
                parts_ = 0;
            } else if (c == '#') {
                SkipComment();
            } else if (c == '"' || c == '\'') {
                const int startLine = line_;
                if (!SkipString(c)) {
                    return std::nullopt;  // unterminated: the library says where
                }
                Token(startLine);
            } else if (IsBareKeyCharacter(c)) {
                while (at_ < text_.size() && IsBareKeyCharacter(text_[at_])) {
                    ++at_;
                }
                Token(line_);
            } else if (c == '.') {
                afterDot_ = parts_ > 0;
                ++at_;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++at_;
            } else {
                Punctuation(c);
                ++at_;
            }
        }
        return problem_;
    }

private:
    void Token(int line) {
        if (afterDot_ && parts_ > 0) {
            ++parts_;
        } else {
            parts_ = 1;
            chainLine_ = line;
        }
        afterDot_ = false;
        if (parts_ > kMaxTomlKeyParts) {
            problem_ = ProfileProblem{chainLine_, "a dotted name of more than " +
                                                      std::to_string(kMaxTomlKeyParts) +
                                                      " parts; no setting has that many"};
        }
    }

    void Punctuation(char c) {
        parts_ = 0;
        afterDot_ = false;
        if (c == '[' || c == '{') {
            if (++depth_ > kMaxTomlNesting) {
                problem_ = ProfileProblem{line_, "lists or tables nested more than " +
                                                     std::to_string(kMaxTomlNesting) +
                                                     " deep; no setting takes that"};
            }
        } else if ((c == ']' || c == '}') && depth_ > 0) {
            --depth_;
        }
    }

    void SkipComment() {
        while (at_ < text_.size() && text_[at_] != '\n') {
            ++at_;
        }
    }

    // From the opening quote to past the closing one; false when it never closes.
    bool SkipString(char quote) {
        const bool basic = quote == '"';
        const std::string triple(3, quote);
        const bool multiLine = text_.substr(at_, 3) == triple;
        at_ += multiLine ? 3 : 1;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (basic && c == '\\') {
                if (at_ + 1 < text_.size() && text_[at_ + 1] == '\n') {
                    ++line_;
                }
                at_ += 2;
                continue;
            }
            if (c == '\n') {
                if (!multiLine) {
                    return false;
                }
                ++line_;
            }
            if (c == quote && (!multiLine || text_.substr(at_, 3) == triple)) {
                at_ += multiLine ? 3 : 1;
                // Up to two quotes more belong to the text: """a""""".
                while (multiLine && at_ < text_.size() && text_[at_] == quote) {
                    ++at_;
                }
                return true;
            }
            ++at_;
        }
        return false;
    }

    std::string_view text_;
    size_t at_ = 0;
    int line_ = 1;
    int depth_ = 0;
    int parts_ = 0;
    int chainLine_ = 1;
    bool afterDot_ = false;
    std::optional<ProfileProblem> problem_;
};

}  // namespace

std::optional<ProfileProblem> TomlShapeProblem(std::string_view text) {
    if (text.size() > kMaxTomlBytes) {
        return ProfileProblem{
            0, "too large (more than " + std::to_string(kMaxTomlBytes >> 20) + " MiB)"};
    }
    return ShapeScanner(text).Scan();
}

std::optional<toml::table> ParseToml(std::string_view text, ProfileProblem& problem) {
    if (std::optional<ProfileProblem> shape = TomlShapeProblem(text)) {
        problem = std::move(*shape);
        return std::nullopt;
    }
    try {
        return toml::parse(text);
    } catch (const toml::parse_error& error) {
        problem = {static_cast<int>(error.source().begin.line),
                   "TOML syntax: " + std::string(error.description())};
        return std::nullopt;
    }
}
