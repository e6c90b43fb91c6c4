// Which pages other connections' commits wrote to a WAL-mode file, read from
// the frame headers of its write-ahead log: the cheap test of whether a
// commit touched one table. The log is read with pread, without SQLite's
// locks; a frame is taken only when its salts match the log's header, so a
// frame being written, or one left from before the log restarted, ends the
// reading instead of being taken for a commit. Anything the reading cannot
// vouch for (no log, a restarted log, a header that does not read) is
// "unknown", and the caller treats the table as changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::engine {

// A place in the log: what was read up to, under which salts.
struct WalPoint {
    std::uint32_t salt1 = 0;
    std::uint32_t salt2 = 0;
    std::uint64_t offset = 0;  // of the first frame not yet accounted for
};

// Where a reader starting now stands at the least: after the frames the
// log's index (the -shm file) counts as committed. Nothing when there is
// no index that reads, or it disagrees with the log.
std::optional<WalPoint> walPointNow(const std::string& walPath);

enum class WalVerdict : std::uint8_t { Untouched, Touched, Unknown };

// Whether the frames after `since` wrote any of `pages` (sorted), or wrote
// page 1 with a schema cookie other than `schemaCookie`. Untouched moves
// `since` past the committed frames read; frames of a commit still being
// written are read again next time.
WalVerdict walFramesTouch(const std::string& walPath, WalPoint& since,
                          const std::vector<std::uint32_t>& pages, std::uint32_t schemaCookie);

}  // namespace quorvel::engine
