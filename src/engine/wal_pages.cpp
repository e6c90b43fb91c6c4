#include "engine/wal_pages.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace quorvel::engine {

namespace {

constexpr std::uint64_t kHeaderBytes = 32;
constexpr std::uint64_t kFrameHeaderBytes = 24;
constexpr std::uint64_t kSchemaCookieOffset = 40;  // in page 1

std::uint32_t bigEndian(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

class LogFile {
public:
    explicit LogFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~LogFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Reads exactly `size` bytes at `offset`; false at the end or on failure.
    bool read(std::uint64_t offset, unsigned char* into, std::size_t size) const {
        if (fd_ < 0) return false;
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(fd_, into + done, size - done, static_cast<off_t>(offset + done));
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int fd_;
};

struct Header {
    std::uint32_t pageSize = 0;
    std::uint32_t salt1 = 0;
    std::uint32_t salt2 = 0;
};

std::optional<Header> readHeader(const LogFile& log) {
    std::array<unsigned char, kHeaderBytes> bytes{};
    if (!log.read(0, bytes.data(), bytes.size())) return std::nullopt;
    std::uint32_t magic = bigEndian(bytes.data());
    if (magic != 0x377f0682 && magic != 0x377f0683) return std::nullopt;
    Header header{bigEndian(bytes.data() + 8), bigEndian(bytes.data() + 16), bigEndian(bytes.data() + 20)};
    // A page size of 65536 is stored as 1.
    if (header.pageSize == 1) header.pageSize = 65536;
    if (header.pageSize < 512 || header.pageSize > 65536 || (header.pageSize & (header.pageSize - 1)) != 0)
        return std::nullopt;
    return header;
}

// The log's index (the -shm file) as SQLite keeps it: two copies of its
// header, which agree unless a writer is changing them. `frames` is the
// number of frames committed, which every transaction that starts later
// sees.
struct IndexHeader {
    std::uint32_t frames = 0;
    std::uint32_t salt1 = 0;
    std::uint32_t salt2 = 0;
};

std::optional<IndexHeader> readIndexHeader(const std::string& shmPath) {
    LogFile shm(shmPath);
    std::array<unsigned char, 96> bytes{};
    if (!shm.read(0, bytes.data(), bytes.size())) return std::nullopt;
    if (std::memcmp(bytes.data(), bytes.data() + 48, 48) != 0) return std::nullopt;
    std::uint32_t version = 0, frames = 0;
    std::memcpy(&version, bytes.data(), 4);  // native byte order, as SQLite maps it
    std::memcpy(&frames, bytes.data() + 16, 4);
    if (version != 3007000 || bytes[12] == 0) return std::nullopt;  // isInit
    // The salts are the log header's bytes, copied as they are.
    return IndexHeader{frames, bigEndian(bytes.data() + 32), bigEndian(bytes.data() + 36)};
}

std::string shmPathOf(const std::string& walPath) { return walPath.substr(0, walPath.size() - 4) + "-shm"; }

struct Frame {
    std::uint32_t page = 0;
    bool commit = false;
};

// The frame at `offset` when it belongs to the log as the header has it.
std::optional<Frame> readFrame(const LogFile& log, const Header& header, std::uint64_t offset) {
    std::array<unsigned char, kFrameHeaderBytes> bytes{};
    if (!log.read(offset, bytes.data(), bytes.size())) return std::nullopt;
    if (bigEndian(bytes.data() + 8) != header.salt1 || bigEndian(bytes.data() + 12) != header.salt2)
        return std::nullopt;
    return Frame{bigEndian(bytes.data()), bigEndian(bytes.data() + 4) != 0};
}

}  // namespace

std::optional<WalPoint> walPointNow(const std::string& walPath) {
    auto index = readIndexHeader(shmPathOf(walPath));
    if (!index) return std::nullopt;
    if (index->frames == 0) return WalPoint{index->salt1, index->salt2, kHeaderBytes};
    LogFile log(walPath);
    auto header = readHeader(log);
    if (!header || header->salt1 != index->salt1 || header->salt2 != index->salt2) return std::nullopt;
    return WalPoint{index->salt1, index->salt2,
                    kHeaderBytes + std::uint64_t{index->frames} * (kFrameHeaderBytes + header->pageSize)};
}

WalVerdict walFramesTouch(const std::string& walPath, WalPoint& since,
                          const std::vector<std::uint32_t>& pages, std::uint32_t schemaCookie) {
    // The committed frames first: they are whole before the index counts them.
    auto index = readIndexHeader(shmPathOf(walPath));
    LogFile log(walPath);
    auto header = readHeader(log);
    if (!index || !header || header->salt1 != since.salt1 || header->salt2 != since.salt2 ||
        index->salt1 != since.salt1 || index->salt2 != since.salt2)
        return WalVerdict::Unknown;
    const std::uint64_t frameBytes = kFrameHeaderBytes + header->pageSize;
    if (since.offset < kHeaderBytes || (since.offset - kHeaderBytes) % frameBytes != 0)
        return WalVerdict::Unknown;
    const std::uint64_t committedEnd = kHeaderBytes + std::uint64_t{index->frames} * frameBytes;
    for (std::uint64_t offset = since.offset;; offset += frameBytes) {
        auto frame = readFrame(log, *header, offset);
        if (!frame) break;
        if (std::binary_search(pages.begin(), pages.end(), frame->page)) return WalVerdict::Touched;
        if (frame->page == 1) {
            std::array<unsigned char, 4> cookie{};
            if (!log.read(offset + kFrameHeaderBytes + kSchemaCookieOffset, cookie.data(), cookie.size()))
                return WalVerdict::Unknown;
            if (bigEndian(cookie.data()) != schemaCookie) return WalVerdict::Touched;
        }
    }
    // Frames past the committed ones (a commit being written) are read
    // again next time.
    since.offset = std::max(since.offset, committedEnd);
    return WalVerdict::Untouched;
}

}  // namespace quorvel::engine
