// A minimal streaming JSON writer for the CLI's --json output. Byte strings
// are written so that each byte becomes the code point of the same value,
// which keeps them recoverable exactly.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace flashsmith::cli {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    JsonWriter& BeginObject() { Value(); out_ << '{'; stack_.push_back(true); return *this; }
    JsonWriter& EndObject() { stack_.pop_back(); out_ << '}'; return *this; }
    JsonWriter& BeginArray() { Value(); out_ << '['; stack_.push_back(true); return *this; }
    JsonWriter& EndArray() { stack_.pop_back(); out_ << ']'; return *this; }
    JsonWriter& Key(const std::string& key) {
        Comma();
        WriteString(key);
        out_ << ':';
        afterKey_ = true;
        return *this;
    }
    JsonWriter& Bytes(const std::string& bytes) { Value(); WriteString(bytes); return *this; }
    JsonWriter& Int(int64_t v) { Value(); out_ << v; return *this; }
    JsonWriter& Bool(bool v) { Value(); out_ << (v ? "true" : "false"); return *this; }

    template <typename T>
    JsonWriter& Field(const std::string& key, const T& v) {
        Key(key);
        if constexpr (std::is_same_v<T, std::string>) Bytes(v);
        else if constexpr (std::is_same_v<T, bool>) Bool(v);
        else Int(static_cast<int64_t>(v));
        return *this;
    }

private:
    void Comma() {
        if (!stack_.empty()) {
            if (!stack_.back()) out_ << ',';
            stack_.back() = false;
        }
    }
    void Value() {
        if (afterKey_) afterKey_ = false;
        else Comma();
    }
    void WriteString(const std::string& s) {
        static const char* hex = "0123456789abcdef";
        out_ << '"';
        for (unsigned char c : s) {
            if (c == '"' || c == '\\') out_ << '\\' << c;
            else if (c < 0x20) out_ << "\\u00" << hex[c >> 4] << hex[c & 15];
            else if (c < 0x80) out_ << c;
            else out_ << static_cast<char>(0xC0 | (c >> 6)) << static_cast<char>(0x80 | (c & 0x3F));
        }
        out_ << '"';
    }

    std::ostream& out_;
    std::vector<bool> stack_;
    bool afterKey_ = false;
};

}  // namespace flashsmith::cli
