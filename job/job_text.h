// The writer that all job text goes through: append functions on one growing string, with
// the line ends and number formats the printers' interpreters expect.
#pragma once

#include <string>
#include <string_view>

// Appends to a string it does not own. Every function returns the writer for chaining.
class JobText {
  public:
    explicit JobText(std::string& out) : out_(out) {}

    // text followed by CR LF.
    JobText& line(std::string_view text);
    // text followed by a lone LF.
    JobText& lineLf(std::string_view text);
    // text followed by a lone CR.
    JobText& lineCr(std::string_view text);
    // count empty CR LF lines.
    JobText& empty(int count = 1);
    // bytes exactly as given, no line end.
    JobText& raw(std::string_view bytes);
    // one byte.
    JobText& byte(unsigned char value);
    // LF-separated text (an embedded resource) written line by line with CR LF; a final LF
    // does not add an empty line.
    JobText& block(std::string_view text);

    std::string& str() { return out_; }

  private:
    std::string& out_;
};

// A user's text (a file name, a title) made safe to sit in one job line (printableText):
// every control byte becomes '?', so it cannot end the line or start a command of its own,
// and the text is cut to maxBytes on a UTF-8 character boundary (DSC lines are at most 255).
std::string jobLineText(std::string_view text, std::size_t maxBytes = 200);
// Decimal text of a single-precision value as the job lines carry it: a leading blank when
// not negative, at most seven significant digits, no trailing zeros (" 22", " 420.5", "-3").
std::string jobNumber(double value);
// The same for a double-precision value, at most fifteen significant digits.
std::string jobNumberDouble(double value);
// Plain decimal text of an integer, no leading blank ("99").
std::string plainNumber(long long value);
// Plain decimal text of a single-precision value, at most seven significant digits.
std::string plainFloat(double value);
