#pragma once

#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace orvanta::headless {

// One stream that the runs of several ports write their lines to, a whole line at a time.
// Write may be called from any thread.
class SharedLines {
public:
    explicit SharedLines(std::ostream& out) : m_out(out) {}
    void Write(const std::string& prefix, const std::string& line);

private:
    std::mutex m_mutex;
    std::ostream& m_out;
};

// A stream for one port's run: what it writes reaches the shared stream line by line, each
// line after the prefix ("ttyUSB0: "). A line still open at the end is ended. One thread.
class PrefixedLineStream : public std::ostream {
public:
    PrefixedLineStream(SharedLines& lines, std::string prefix);
    ~PrefixedLineStream() override;

private:
    class Buffer : public std::streambuf {
    public:
        Buffer(SharedLines& lines, std::string prefix)
            : m_lines(lines), m_prefix(std::move(prefix)) {}
        void EndOpenLine();

    protected:
        int_type overflow(int_type ch) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;

    private:
        SharedLines& m_lines;
        std::string m_prefix;
        std::string m_line;
    };
    Buffer m_buffer;
};

} // namespace orvanta::headless
