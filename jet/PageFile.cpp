#include "PageFile.h"

#include "DatabaseWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace jet {

namespace {
// Big enough that the kernel sees few, large writes; small enough to stay out of the way of the
// 64 MiB the whole build may use.
constexpr std::uint32_t kBufferPages = 256;
} // namespace

PageFile::PageFile(int fd, std::int64_t maxFileSize)
    : m_fd(fd), m_maxPages(static_cast<std::uint32_t>(maxFileSize / kPageSize)),
      m_buffer(std::size_t{kBufferPages} * kPageSize)
{}

PageFile::~PageFile() = default;

std::uint32_t PageFile::allocate(std::uint32_t count)
{
    if (std::uint64_t{m_pageCount} + count > m_maxPages)
        throw Error("the database would grow beyond " +
                    std::to_string(std::uint64_t{m_maxPages} * kPageSize / (1024 * 1024)) + " MiB");
    const std::uint32_t first = m_pageCount;
    m_pageCount += count;
    return first;
}

void PageFile::write(std::uint32_t page, const char* bytes)
{
    if (page >= m_pageCount)
        throw Error("internal error: page " + std::to_string(page) + " written before allocated");
    if (m_bufferPages > 0 && page == m_bufferFirst + m_bufferPages) {
        if (m_bufferPages == kBufferPages)
            flush();
    }
    if (m_bufferPages == 0) {
        m_bufferFirst = page;
    } else if (page != m_bufferFirst + m_bufferPages) {
        writeAt(std::uint64_t{page} * kPageSize, bytes, kPageSize);
        ++m_written;
        return;
    }
    std::memcpy(m_buffer.data() + std::size_t{m_bufferPages} * kPageSize, bytes, kPageSize);
    ++m_bufferPages;
    ++m_written;
}

void PageFile::flush()
{
    if (m_bufferPages == 0)
        return;
    const std::uint64_t offset = std::uint64_t{m_bufferFirst} * kPageSize;
    const std::size_t length = std::size_t{m_bufferPages} * kPageSize;
    writeAt(offset, m_buffer.data(), length);
    // Start writing back what is done while the rest is still being read, so the caller's final
    // fdatasync has little left to wait for. Only a hint: errors surface at that fdatasync.
    ::sync_file_range(m_fd, static_cast<off_t>(offset), static_cast<off_t>(length),
                      SYNC_FILE_RANGE_WRITE);
    m_bufferFirst += m_bufferPages;
    m_bufferPages = 0;
}

void PageFile::finish()
{
    flush();
    if (m_written != m_pageCount)
        throw Error("internal error: " + std::to_string(m_pageCount - m_written) +
                    " pages allocated but never written");
}

void PageFile::writeAt(std::uint64_t offset, const char* bytes, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::pwrite(m_fd, bytes, length, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw WriteError(std::string("cannot write: ") + std::strerror(errno));
        }
        bytes += n;
        length -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
}

} // namespace jet
