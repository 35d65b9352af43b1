#include "standin/value_line.h"

#include <cstdio>

#include "standin/codepage.h"
#include "standin/text_fold.h"
#include "standin/wine_text.h"

namespace standin {
namespace {

constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;

std::string HexBytes(std::string_view prefix, std::string_view bytes) {
    std::string line(prefix);
    std::size_t column = line.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(bytes[i]));
        line += byte;
        column += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            ++column;
            if (column > 76) {  // Wine wraps long binary data like this
                line += "\\\n  ";
                column = 2;
            }
        }
    }
    return line;
}

bool IsProperString(std::string_view data) {
    return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
}

}  // namespace

std::size_t NameLength(std::string_view line) {
    if (line[0] == '@') {
        return 1;
    }
    const std::size_t quote = FindUnescaped(line.substr(1), '"');
    return quote == std::string_view::npos ? quote : quote + 2;
}

// Whether quoted text that starts at text[0] has an unescaped closing
// quote: looked for from the end first, where it mostly is.
bool HasClosingQuote(std::string_view text) {
    const std::size_t last = text.rfind('"');
    return last != std::string_view::npos && (BackslashesBefore(text, last) % 2 == 0 ||
                                              FindUnescaped(text, '"') != std::string_view::npos);
}

// The same for a line too long to hold, from its last bytes alone: nullptr
// when the last quote there closes the text, else what is wrong.
const char* CheckLongStringEnd(std::string_view tail) {
    const std::size_t last = tail.rfind('"');
    if (last == std::string_view::npos) {
        return "string data has no closing quote";
    }
    const std::size_t backslashes = BackslashesBefore(tail, last);
    return backslashes < last && backslashes % 2 == 0 ? nullptr
                                                      : "string data too long to read its end";
}

const char* ReadValueLine(const Line& line, bool* continues) {
    const std::size_t name_length = NameLength(line.text);
    if (name_length == std::string_view::npos) {
        return "value name has no closing quote";
    }
    const std::string_view data = line.text.substr(name_length);
    if (!data.starts_with('=')) {
        return "value name is not followed by '='";
    }
    // Wine reads string data up to its closing quote and ignores the rest.
    if (data.starts_with("=\"")) {
        if (!line.whole()) {
            return CheckLongStringEnd(line.tail);
        }
        if (!HasClosingQuote(data.substr(2))) {
            return "string data has no closing quote";
        }
    }
    *continues = (data.starts_with("=hex:") || data.starts_with("=hex(")) && HexContinues(line);
    return nullptr;
}

std::u32string FoldedValueName(std::string_view line) {
    std::u32string name;
    if (line[0] == '"') {
        UnescapeWine(line.substr(1), '"', &name);
    }
    for (char32_t& c : name) {
        c = FoldCodePoint(c);
    }
    return name;
}

std::string ValueLine(std::string_view value_name, DWORD type, std::string_view data) {
    std::string line = value_name.empty()
                           ? "@="
                           : "\"" + EscapeWine(AnsiToU32(value_name), Quoting::kString) + "\"=";
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && IsProperString(data)) {
        data.remove_suffix(1);
        return line + (type == REG_EXPAND_SZ ? "str(2):\"" : "\"") +
               EscapeWine(AnsiToU32(data), Quoting::kString) + "\"";
    }
    if (type == REG_DWORD && data.size() == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%02x%02x%02x%02x",
                      static_cast<unsigned char>(data[3]), static_cast<unsigned char>(data[2]),
                      static_cast<unsigned char>(data[1]), static_cast<unsigned char>(data[0]));
        return line + number;
    }
    std::string bytes(data);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {  // stored as UTF-16, as the platform does
        bytes.clear();
        for (const char32_t c : AnsiToU32(data)) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
    }
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, type == REG_BINARY ? "hex:" : "hex(%x):", type);
    return HexBytes(line + prefix, bytes);
}

}  // namespace standin
