#include "headless/PrefixedLines.h"

namespace orvanta::headless {

void SharedLines::Write(const std::string& prefix, const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_out << prefix << line << std::flush;
}

PrefixedLineStream::PrefixedLineStream(SharedLines& lines, std::string prefix)
    : std::ostream(nullptr), m_buffer(lines, std::move(prefix)) {
    rdbuf(&m_buffer);
}

PrefixedLineStream::~PrefixedLineStream() {
    m_buffer.EndOpenLine();
}

void PrefixedLineStream::Buffer::EndOpenLine() {
    if (!m_line.empty()) {
        m_line += '\n';
        m_lines.Write(m_prefix, m_line);
        m_line.clear();
    }
}

PrefixedLineStream::Buffer::int_type PrefixedLineStream::Buffer::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) {
        return traits_type::not_eof(ch);
    }
    const char c = traits_type::to_char_type(ch);
    xsputn(&c, 1);
    return ch;
}

std::streamsize PrefixedLineStream::Buffer::xsputn(const char* text, std::streamsize count) {
    for (std::streamsize i = 0; i < count; ++i) {
        m_line += text[i];
        if (text[i] == '\n') {
            m_lines.Write(m_prefix, m_line);
            m_line.clear();
        }
    }
    return count;
}

} // namespace orvanta::headless
