#pragma once
// Hands out page numbers and writes pages to the file. Pages that follow one another go out
// through one buffer; pages written out of turn (a data page kept open while pictures went
// out behind it) are written in place.

#include <cstdint>
#include <vector>

namespace jet {

class PageFile
{
  public:
    PageFile(int fd, std::int64_t maxFileSize);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // The first of `count` consecutive, new pages.
    std::uint32_t allocate(std::uint32_t count = 1);
    std::uint32_t pageCount() const { return m_pageCount; }
    // Each allocated page is written exactly once.
    void write(std::uint32_t page, const char* bytes);
    // Flushes the buffer; throws jet::Error if a page was left unwritten.
    void finish();

  private:
    void flush();
    void writeAt(std::uint64_t offset, const char* bytes, std::size_t length);

    int m_fd;
    std::uint32_t m_maxPages;
    std::uint32_t m_pageCount = 0;
    std::uint32_t m_written = 0;
    std::vector<char> m_buffer;
    std::uint32_t m_bufferFirst = 0;
    std::uint32_t m_bufferPages = 0;
};

} // namespace jet
