#include "core/json.h"

#include "core/decimal.h"
#include "core/errors.h"
#include "core/utf8.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace qm {

namespace {

void writeString(std::string& out, std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    auto p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size();
    for (size_t i = 0; i < n;) {
        // Plain characters go over in runs: most texts are nothing else.
        size_t run = i;
        while (run < n && p[run] >= 0x20 && p[run] < 0x80 && p[run] != '"' && p[run] != '\\')
            ++run;
        if (run > i) {
            out.append(s.data() + i, run - i);
            i = run;
            if (i == n)
                break;
        }
        unsigned char c = p[i];
        if (c >= 0x80) {
            Utf8Step step = decodeUtf8(s, i);
            if (step.valid)
                out.append(s.data() + i, step.length);
            else
                out += "\xEF\xBF\xBD";
            i += step.length;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

void newline(std::string& out, int indent, int depth)
{
    out += '\n';
    out.append(size_t(indent) * size_t(depth), ' ');
}

void write(std::string& out, const Json& node, int indent, int depth)
{
    switch (node.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
        out += "null";
        break;
    case Json::value_t::boolean:
        out += node.get<bool>() ? "true" : "false";
        break;
    case Json::value_t::number_integer:
        out += std::to_string(node.get<int64_t>());
        break;
    case Json::value_t::number_unsigned:
        out += std::to_string(node.get<uint64_t>());
        break;
    case Json::value_t::number_float: {
        double v = node.get<double>();
        out += std::isfinite(v) ? shortestDouble(v) : "null";
        break;
    }
    case Json::value_t::string:
        writeString(out, node.get_ref<const std::string&>());
        break;
    case Json::value_t::binary:
        // Not produced by this program; written as its bytes' array form.
        write(out, Json(node.get_binary()), indent, depth);
        break;
    case Json::value_t::array: {
        out += '[';
        bool first = true;
        for (const auto& item : node) {
            if (!first)
                out += ',';
            first = false;
            if (indent >= 0)
                newline(out, indent, depth + 1);
            write(out, item, indent, depth + 1);
        }
        if (indent >= 0 && !first)
            newline(out, indent, depth);
        out += ']';
        break;
    }
    case Json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto& [key, value] : node.items()) {
            if (!first)
                out += ',';
            first = false;
            if (indent >= 0)
                newline(out, indent, depth + 1);
            writeString(out, key);
            out += indent >= 0 ? ": " : ":";
            write(out, value, indent, depth + 1);
        }
        if (indent >= 0 && !first)
            newline(out, indent, depth);
        out += '}';
        break;
    }
    }
}

}  // namespace

std::string dumpJson(const Json& node, int indent)
{
    std::string out;
    write(out, node, indent, 0);
    return out;
}

void appendJsonString(std::string& out, std::string_view text) { writeString(out, text); }

void appendJson(std::string& out, const Json& node) { write(out, node, -1, 0); }

namespace {

class Parser {
public:
    explicit Parser(std::string_view text)
        : s_(text)
    {
    }

    Json document()
    {
        skipBlanks();
        Json v = value(0);
        skipBlanks();
        if (i_ != s_.size())
            fail("unexpected text after the value");
        return v;
    }

private:
    static constexpr int kMaxDepth = 512;

    [[noreturn]] void fail(const char* why)
    {
        throw ValueError("invalid JSON at offset " + std::to_string(i_) + ": " + why);
    }

    void skipBlanks()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }

    bool literal(std::string_view word)
    {
        if (s_.substr(i_, word.size()) != word)
            return false;
        i_ += word.size();
        return true;
    }

    Json value(int depth)
    {
        if (depth > kMaxDepth)
            fail("nested too deeply");
        if (i_ >= s_.size())
            fail("unexpected end");
        char c = s_[i_];
        if (c == '{')
            return object(depth);
        if (c == '[')
            return array(depth);
        if (c == '"')
            return Json(string());
        if (c == '-' || (c >= '0' && c <= '9'))
            return number();
        if (literal("true"))
            return Json(true);
        if (literal("false"))
            return Json(false);
        if (literal("null"))
            return Json(nullptr);
        fail("unexpected character");
    }

    Json object(int depth)
    {
        Json obj = Json::object();
        // The ordered map looks keys up one by one; large objects get a hash
        // index so that reading stays linear. A repeated key keeps its first
        // place and its last value.
        auto& members = static_cast<Json::object_t::Container&>(obj.get_ref<Json::object_t&>());
        std::unordered_map<std::string, size_t> index;
        ++i_;
        skipBlanks();
        if (i_ < s_.size() && s_[i_] == '}') {
            ++i_;
            return obj;
        }
        for (;;) {
            skipBlanks();
            if (i_ >= s_.size() || s_[i_] != '"')
                fail("expected a member name");
            std::string key = string();
            skipBlanks();
            if (i_ >= s_.size() || s_[i_] != ':')
                fail("expected ':'");
            ++i_;
            skipBlanks();
            Json v = value(depth + 1);
            size_t at = members.size();
            if (members.size() <= 16) {
                for (size_t k = 0; k < members.size(); ++k)
                    if (members[k].first == key)
                        at = k;
            } else {
                if (index.empty())
                    for (size_t k = 0; k < members.size(); ++k)
                        index.emplace(members[k].first, k);
                auto it = index.find(key);
                if (it != index.end())
                    at = it->second;
            }
            if (at < members.size()) {
                members[at].second = std::move(v);
            } else {
                members.emplace_back(std::move(key), std::move(v));
                if (!index.empty())
                    index.emplace(members.back().first, at);
            }
            skipBlanks();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            if (i_ < s_.size() && s_[i_] == '}') {
                ++i_;
                return obj;
            }
            fail("expected ',' or '}'");
        }
    }

    Json array(int depth)
    {
        Json arr = Json::array();
        ++i_;
        skipBlanks();
        if (i_ < s_.size() && s_[i_] == ']') {
            ++i_;
            return arr;
        }
        for (;;) {
            skipBlanks();
            arr.push_back(value(depth + 1));
            skipBlanks();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            if (i_ < s_.size() && s_[i_] == ']') {
                ++i_;
                return arr;
            }
            fail("expected ',' or ']'");
        }
    }

    int hex4()
    {
        if (s_.size() - i_ < 4)
            fail("bad \\u escape");
        int v = 0;
        for (int k = 0; k < 4; ++k) {
            char c = s_[i_++];
            int d = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f'   ? c - 'a' + 10
                : c >= 'A' && c <= 'F'   ? c - 'A' + 10
                                         : -1;
            if (d < 0)
                fail("bad \\u escape");
            v = v * 16 + d;
        }
        return v;
    }

    std::string string()
    {
        ++i_;  // the opening quote
        std::string out;
        auto p = reinterpret_cast<const unsigned char*>(s_.data());
        for (;;) {
            if (i_ >= s_.size())
                fail("unterminated text");
            unsigned char c = p[i_];
            if (c == '"') {
                ++i_;
                return out;
            }
            if (c < 0x20)
                fail("control character in text");
            if (c >= 0x80) {
                Utf8Step step = decodeUtf8(s_, i_);
                if (step.valid)
                    out.append(s_.data() + i_, step.length);
                else
                    out += "\xEF\xBF\xBD";
                i_ += step.length;
                continue;
            }
            ++i_;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (i_ >= s_.size())
                fail("unterminated text");
            char e = s_[i_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                uint32_t cp = uint32_t(hex4());
                if (cp >= 0xD800 && cp <= 0xDBFF && s_.substr(i_, 2) == "\\u") {
                    size_t save = i_;
                    i_ += 2;
                    uint32_t lo = uint32_t(hex4());
                    if (lo >= 0xDC00 && lo <= 0xDFFF)
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    else
                        i_ = save;  // read the next escape on its own
                }
                if (cp >= 0xD800 && cp <= 0xDFFF)
                    cp = 0xFFFD;
                appendUtf8(out, cp);
                break;
            }
            default:
                fail("bad escape");
            }
        }
    }

    Json number()
    {
        size_t start = i_;
        auto digit = [&] { return i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9'; };
        if (s_[i_] == '-')
            ++i_;
        if (!digit())
            fail("bad number");
        if (s_[i_] == '0')
            ++i_;
        else
            while (digit())
                ++i_;
        bool integral = true;
        if (i_ < s_.size() && s_[i_] == '.') {
            integral = false;
            ++i_;
            if (!digit())
                fail("bad number");
            while (digit())
                ++i_;
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            integral = false;
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-'))
                ++i_;
            if (!digit())
                fail("bad number");
            while (digit())
                ++i_;
        }
        std::string_view text = s_.substr(start, i_ - start);
        if (integral) {
            const char* end = text.data() + text.size();
            int64_t v;
            if (std::from_chars(text.data(), end, v).ec == std::errc())
                return Json(v);
            uint64_t u;
            if (text[0] != '-' && std::from_chars(text.data(), end, u).ec == std::errc())
                return Json(u);
        }
        return Json(decimalToDouble(text));
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace

Json parseJson(std::string_view text) { return Parser(text).document(); }

}  // namespace qm
