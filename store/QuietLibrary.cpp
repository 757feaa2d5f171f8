#include "QuietLibrary.h"

#include <cstdlib>

namespace store::detail {

QuietLibrary::QuietLibrary()
{
    m_sink = open_memstream(&m_buffer, &m_size);
    if (m_sink) {
        std::fflush(stdout);
        m_savedOut = stdout;
        m_savedErr = stderr;
        stdout = m_sink;
        stderr = m_sink;
    }
}

QuietLibrary::~QuietLibrary()
{
    if (m_sink) {
        stdout = m_savedOut;
        stderr = m_savedErr;
        std::fclose(m_sink);
    }
    std::free(m_buffer);
}

} // namespace store::detail
