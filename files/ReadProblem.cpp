#include "files/ReadProblem.h"

namespace {

constexpr std::size_t excerptBytes = 40;

}  // namespace

std::string problemAt(std::uint64_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

std::string quotedExcerpt(const std::string& text) {
    std::string out = "'";
    for (std::size_t i = 0; i < text.size() && i < excerptBytes; ++i) {
        const char c = text[i];
        out += (c >= ' ' && c <= '~') ? c : '?';
    }
    if (text.size() > excerptBytes) out += "...";
    return out + "'";
}
