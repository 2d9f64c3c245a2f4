#include "console/text/json_value.h"

#include <charconv>

namespace varnock::console {
namespace {

std::optional<long long> WholeNumber(std::string_view text) {
    long long number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return error == std::errc{} && stop == end ? std::optional(number) : std::nullopt;
}

// Anything out of place is refused with where it is, never guessed at.
class JsonReader {
public:
    JsonReader(std::string_view text, const JsonRules& rules) : text_(text), rules_(rules) {}

    std::optional<JsonValue> Document() {
        auto value = Value(0);
        if (value) {
            Blanks();
            if (at_ != text_.size()) {
                return Fail("text after the end of the document");
            }
        }
        return value;
    }

    std::string Problem() const {
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i < problemAt_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
               problem_;
    }

private:
    // Only the first problem is told: an inner one explains an outer one.
    std::nullopt_t Fail(const char* why) {
        if (problem_.empty()) {
            problem_ = why;
            problemAt_ = at_;
        }
        return std::nullopt;
    }
    std::nullopt_t Wrong(const char* why) {
        escapeProblem_ = why;
        return std::nullopt;
    }
    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool Take(char c) {
        Blanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) == word) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<JsonValue> Value(int depth) {
        Blanks();
        if (at_ >= text_.size()) {
            return Fail("the text ends where a value should be");
        }
        if (depth > rules_.deepest) {
            return Fail("nested too deeply");
        }
        JsonValue value;
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            value.type = JsonValue::Type::kObject;
            if (Take('}')) {
                return value;
            }
            do {
                Blanks();
                auto key = String();
                if (!key) {
                    return Fail("a member name (a string) expected");
                }
                if (!Take(':')) {
                    return Fail("':' expected");
                }
                auto member = Value(depth + 1);
                if (!member) {
                    return std::nullopt;
                }
                value.members[std::move(*key)] = std::move(*member);
            } while (Take(','));
            return Take('}') ? std::optional(std::move(value)) : Fail("',' or '}' expected");
        }
        if (c == '[') {
            ++at_;
            value.type = JsonValue::Type::kArray;
            if (Take(']')) {
                return value;
            }
            do {
                auto item = Value(depth + 1);
                if (!item) {
                    return std::nullopt;
                }
                value.items.push_back(std::move(*item));
            } while (Take(','));
            return Take(']') ? std::optional(std::move(value)) : Fail("',' or ']' expected");
        }
        if (c == '"') {
            auto text = String();
            if (!text) {
                return std::nullopt;
            }
            value.type = JsonValue::Type::kString;
            value.text = std::move(*text);
            return value;
        }
        if (Word("true")) {
            value.type = JsonValue::Type::kBool;
            value.boolean = true;
            return value;
        }
        if (Word("false")) {
            value.type = JsonValue::Type::kBool;
            return value;
        }
        if (Word("null")) {
            return value;
        }
        auto number = Number();
        if (!number) {
            return std::nullopt;
        }
        value.type = JsonValue::Type::kNumber;
        value.text = std::move(*number);
        return value;
    }

    std::size_t Digits() {
        const std::size_t from = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
            ++at_;
        }
        return at_ - from;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?, told where it
    // begins when refused.
    std::optional<std::string> Number() {
        const std::size_t begin = at_;
        const auto refuse = [this, begin](const char* why) {
            at_ = begin;
            return Fail(why);
        };
        constexpr const char* kNotAValue = "not a value this file holds";
        if (at_ < text_.size() && text_[at_] == '-') {
            ++at_;
        }
        const std::size_t whole = at_;
        const std::size_t count = Digits();
        if (count == 0 || (count > 1 && text_[whole] == '0')) {
            return refuse(kNotAValue);
        }
        bool fraction = false;
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            fraction = true;
            if (Digits() == 0) {
                return refuse(kNotAValue);
            }
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            fraction = true;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
                ++at_;
            }
            if (Digits() == 0) {
                return refuse(kNotAValue);
            }
        }
        const std::string_view number = text_.substr(begin, at_ - begin);
        if (rules_.wholeNumbersOnly) {
            if (fraction) {
                return refuse(kNotAValue);
            }
            if (!WholeNumber(number)) {
                return refuse("a number too large");
            }
        }
        return std::string(number);
    }

    std::optional<unsigned> Hex4() {
        if (text_.size() - at_ < 4) {
            return std::nullopt;
        }
        unsigned code = 0;
        const auto [end, error] =
            std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
        if (error != std::errc{} || end != text_.data() + at_ + 4) {
            return std::nullopt;
        }
        at_ += 4;
        return code;
    }

    static void AppendUtf8(std::string& text, unsigned code) {
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (code >> 18));
            text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    static bool IsByteEscape(unsigned code) { return code >= 0xDC80 && code <= 0xDCFF; }

    // Every escape JSON has, \uXXXX (surrogate pairs included) as UTF-8.
    // Told where the backslash is.
    std::optional<unsigned> Escape() {
        const std::size_t backslash = at_ - 1;
        auto code = EscapedCode();
        if (!code) {
            at_ = backslash;
            return Fail(escapeProblem_);
        }
        return code;
    }

    std::optional<unsigned> EscapedCode() {
        static constexpr std::string_view kSingles = "\"\"\\\\//b\bf\fn\nr\rt\t";
        const char escaped = text_[at_++];
        for (std::size_t i = 0; i < kSingles.size(); i += 2) {
            if (kSingles[i] == escaped) {
                return static_cast<unsigned char>(kSingles[i + 1]);
            }
        }
        if (escaped != 'u') {
            return Wrong("an unknown escape");
        }
        auto code = Hex4();
        if (!code) {
            return Wrong("a unicode escape needs four hexadecimal digits");
        }
        if (rules_.byteEscapes && IsByteEscape(*code)) {
            return code;
        }
        if (*code >= 0xDC00 && *code <= 0xDFFF) {
            return Wrong("a lone low surrogate");
        }
        if (*code >= 0xD800 && *code <= 0xDBFF) {
            if (!Word("\\u")) {
                return Wrong("a high surrogate without its low one");
            }
            const auto low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                return Wrong("a high surrogate without its low one");
            }
            return 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
        }
        return code;
    }

    std::optional<std::string> String() {
        if (at_ >= text_.size() || text_[at_] != '"') {
            return std::nullopt;
        }
        std::string text;
        for (++at_; at_ < text_.size();) {
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return text;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail("a control character inside a string");
            }
            ++at_;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (at_ >= text_.size()) {
                break;
            }
            const auto code = Escape();
            if (!code) {
                return std::nullopt;
            }
            if (rules_.byteEscapes && IsByteEscape(*code)) {
                text += static_cast<char>(*code - 0xDC00);
            } else {
                AppendUtf8(text, *code);
            }
        }
        return Fail("a string without its closing quote");
    }

    std::string_view text_;
    const JsonRules& rules_;
    std::size_t at_ = 0;
    std::string problem_;
    std::size_t problemAt_ = 0;
    const char* escapeProblem_ = "";
};

}  // namespace

const JsonValue* JsonValue::Member(const std::string& name, Type wanted) const {
    if (type != Type::kObject) {
        return nullptr;
    }
    const auto found = members.find(name);
    return found != members.end() && found->second.type == wanted ? &found->second : nullptr;
}

const std::string* JsonValue::String(const std::string& name) const {
    const JsonValue* member = Member(name, Type::kString);
    return member == nullptr ? nullptr : &member->text;
}

std::optional<long long> JsonValue::Whole() const {
    return type == Type::kNumber ? WholeNumber(text) : std::nullopt;
}

std::variant<JsonValue, std::string> ReadJson(std::string_view text, const JsonRules& rules) {
    JsonReader reader(text, rules);
    auto document = reader.Document();
    if (!document) {
        return reader.Problem();
    }
    return std::move(*document);
}

std::optional<JsonValue> ParseJson(std::string_view text, const JsonRules& rules) {
    auto read = ReadJson(text, rules);
    if (auto* value = std::get_if<JsonValue>(&read)) {
        return std::move(*value);
    }
    return std::nullopt;
}

}  // namespace varnock::console
