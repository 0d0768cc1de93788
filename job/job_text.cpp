#include "job/job_text.h"

#include "core/strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

std::string jobLineText(std::string_view text, std::size_t maxBytes) {
    return printableText(text, maxBytes);
}

JobText& JobText::line(std::string_view text) {
    out_.append(text);
    out_.append("\r\n");
    return *this;
}

JobText& JobText::lineLf(std::string_view text) {
    out_.append(text);
    out_.push_back('\n');
    return *this;
}

JobText& JobText::lineCr(std::string_view text) {
    out_.append(text);
    out_.push_back('\r');
    return *this;
}

JobText& JobText::empty(int count) {
    for (int i = 0; i < count; ++i)
        out_.append("\r\n");
    return *this;
}

JobText& JobText::raw(std::string_view bytes) {
    out_.append(bytes);
    return *this;
}

JobText& JobText::byte(unsigned char value) {
    out_.push_back(static_cast<char>(value));
    return *this;
}

JobText& JobText::block(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            line(text);
            break;
        }
        line(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return *this;
}

namespace {

template <typename T> std::string general(T value, int digits) {
    char buf[64];
    if (value == 0) value = 0; // no "-0"
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
    return std::string(buf, res.ptr);
}

} // namespace

std::string plainFloat(double value) {
    return general(static_cast<float>(value), 7);
}

std::string jobNumber(double value) {
    std::string s = plainFloat(value);
    return s.front() == '-' ? s : " " + s;
}

std::string jobNumberDouble(double value) {
    std::string s = general(value, 15);
    return s.front() == '-' ? s : " " + s;
}

std::string plainNumber(long long value) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}
