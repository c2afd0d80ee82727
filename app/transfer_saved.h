// The transfers left to do, kept on disk so that a crash, a closed window or
// a restart loses none of them: the next run offers to finish them
// ("继续传输"), and the catalog's engine then sends or fetches only the parts
// still missing.
//
// The file is text: a header line, one line per row (each field escaped so
// that no tab or line break of a name can split it) and a closing line with
// the count of rows and the SHA-256 of everything before it. It is written
// whole beside the old one and renamed over it (platform/durable_file.h); a
// file that is cut short, garbled or of another version is refused whole,
// never half read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/transfer_queue.h"

namespace app {

// The rows worth keeping (waiting, running, paused, failed) as the file's
// bytes; a running row is kept as waiting.
std::string SavedTransfersText(const std::vector<TransferRow>& rows);
// False, with `rows` empty, for bytes that are not a whole, intact file.
bool ReadSavedTransfers(const std::string& bytes, std::vector<TransferRow>& rows);

// 16 hex digits of the text's SHA-256: a file name for a text that may hold anything.
std::string ShortDigest(const std::string& text);

// The file in the user's cache directory that keeps one account's transfers.
std::filesystem::path SavedTransfersPath(const std::filesystem::path& cacheDir, const std::string& account);

// Writes the rows (durably); with nothing left to do the file is removed.
bool SaveTransfers(const std::filesystem::path& file, const std::vector<TransferRow>& rows);
// The rows the file keeps; none when there is no file or it is refused.
std::vector<TransferRow> LoadTransfers(const std::filesystem::path& file);

}  // namespace app
