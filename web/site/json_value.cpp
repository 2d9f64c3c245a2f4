#include "web/site/json_value.h"

namespace varnock::web {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document() {
        JsonValue value;
        if (!Value(value, 0)) {
            return std::nullopt;
        }
        Blanks();
        return at_ == text_.size() ? std::optional(std::move(value)) : std::nullopt;
    }

private:
    static constexpr int kDeepest = 32;

    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
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
        if (text_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    bool Value(JsonValue& value, int depth) {
        Blanks();
        if (at_ >= text_.size() || depth > kDeepest) {
            return false;
        }
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            value.type = JsonValue::Type::kObject;
            if (Take('}')) {
                return true;
            }
            do {
                Blanks();
                std::string name;
                JsonValue member;
                if (!String(name) || !Take(':') || !Value(member, depth + 1)) {
                    return false;
                }
                value.members[std::move(name)] = std::move(member);
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++at_;
            value.type = JsonValue::Type::kArray;
            if (Take(']')) {
                return true;
            }
            do {
                value.items.emplace_back();
                if (!Value(value.items.back(), depth + 1)) {
                    return false;
                }
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            value.type = JsonValue::Type::kString;
            return String(value.text);
        }
        if (Word("true")) {
            value.type = JsonValue::Type::kBool;
            value.boolean = true;
            return true;
        }
        if (Word("false")) {
            value.type = JsonValue::Type::kBool;
            return true;
        }
        if (Word("null")) {
            return true;
        }
        value.type = JsonValue::Type::kNumber;
        return Number(value.text);
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool Number(std::string& text) {
        const std::size_t begin = at_;
        const auto digits = [this] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
                ++at_;
            }
            return at_ - from;
        };
        if (at_ < text_.size() && text_[at_] == '-') {
            ++at_;
        }
        const std::size_t whole = at_;
        const std::size_t count = digits();
        if (count == 0 || (count > 1 && text_[whole] == '0')) {
            return false;
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (digits() == 0) {
                return false;
            }
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
                ++at_;
            }
            if (digits() == 0) {
                return false;
            }
        }
        text = std::string(text_.substr(begin, at_ - begin));
        return true;
    }

    std::optional<unsigned> Hex4() {
        if (text_.size() - at_ < 4) {
            return std::nullopt;
        }
        unsigned code = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char d = text_[at_ + i];
            const int v = d >= '0' && d <= '9'   ? d - '0'
                          : d >= 'a' && d <= 'f' ? d - 'a' + 10
                          : d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                 : -1;
            if (v < 0) {
                return std::nullopt;
            }
            code = code * 16 + static_cast<unsigned>(v);
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

    bool Escape(std::string& text) {
        static constexpr std::string_view kSingles = "\"\"\\\\//b\bf\fn\nr\rt\t";
        const char escaped = text_[at_++];
        for (std::size_t i = 0; i < kSingles.size(); i += 2) {
            if (kSingles[i] == escaped) {
                text += kSingles[i + 1];
                return true;
            }
        }
        if (escaped != 'u') {
            return false;
        }
        auto code = Hex4();
        if (!code || (*code >= 0xDC00 && *code <= 0xDFFF)) {
            return false;
        }
        if (*code >= 0xD800 && *code <= 0xDBFF) {
            if (!Word("\\u")) {
                return false;
            }
            const auto low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
        }
        AppendUtf8(text, *code);
        return true;
    }

    bool String(std::string& text) {
        if (at_ >= text_.size() || text_[at_] != '"') {
            return false;
        }
        for (++at_; at_ < text_.size();) {
            const char c = text_[at_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                text += c;
            } else if (at_ >= text_.size() || !Escape(text)) {
                return false;
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
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

std::optional<JsonValue> ParseJson(std::string_view text) {
    return Reader(text).Document();
}

}  // namespace varnock::web
