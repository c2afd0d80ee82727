// Subjects and attachment names of stored parts. A file in one part is
// stored under its own name; part K of N under "NAME [part K of N #TAG]",
// TAG being the first 8 hex digits of the upload id, so that a folder's
// listing alone groups parts into files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace catalog {

// No file is split into more parts than this; a mark naming more is not ours.
constexpr std::uint32_t kMaxParts = 1000000;

enum class SubjectKind {
    Plain,    // no part mark: a file in one part named by the whole subject
    Part,     // a well-formed mark: part `part` of `parts`
    BadMark,  // shaped like a mark but impossible (part 0, K > N, N < 2, leading zeros...)
};

struct SubjectMark {
    SubjectKind kind = SubjectKind::Plain;
    std::string name;  // the file's name: before the mark, or the whole subject
    std::uint32_t part = 1;
    std::uint32_t parts = 1;
    std::string tag;
};

SubjectMark ReadSubject(std::string_view subject);

// The subject of part `part` of `parts` (the name alone when parts is 1).
std::string PartSubject(const std::string& name, std::uint32_t part, std::uint32_t parts, const std::string& tag);

// The attachment's name: the file's name, or for a part "NAME.003" (the
// number zero-padded to the digits of `parts`, at least three).
std::string PartAttachmentName(const std::string& name, std::uint32_t part, std::uint32_t parts);

}  // namespace catalog
