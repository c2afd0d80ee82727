#include "catalog/part_mark.h"

#include "catalog/format_values.h"

namespace catalog {
namespace {

constexpr std::string_view kOpen = " [part ";

// Takes a run of digits from the front of `text`.
std::string_view TakeDigits(std::string_view& text) {
    std::size_t length = 0;
    while (length < text.size() && text[length] >= '0' && text[length] <= '9') ++length;
    std::string_view digits = text.substr(0, length);
    text.remove_prefix(length);
    return digits;
}

bool TakeText(std::string_view& text, std::string_view expected) {
    if (text.substr(0, expected.size()) != expected) return false;
    text.remove_prefix(expected.size());
    return true;
}

}  // namespace

SubjectMark ReadSubject(std::string_view subject) {
    SubjectMark mark;
    mark.name = std::string(subject);
    std::size_t at = subject.rfind(kOpen);
    if (at == std::string_view::npos || subject.empty() || subject.back() != ']') return mark;

    // The shape: "K of N #TAG]" with digit runs and eight lowercase hex digits.
    std::string_view rest = subject.substr(at + kOpen.size());
    std::string_view part = TakeDigits(rest);
    if (part.empty() || !TakeText(rest, " of ")) return mark;
    std::string_view parts = TakeDigits(rest);
    if (parts.empty() || !TakeText(rest, " #") || rest.size() != 9 || !IsLowerHex(rest.substr(0, 8), 8)) return mark;

    // Shaped like a mark: from here on it is never a plain name.
    std::uint64_t k = 0, n = 0;
    mark.kind = SubjectKind::BadMark;
    if (at == 0 || !ParseDecimal(part, kMaxParts, k) || !ParseDecimal(parts, kMaxParts, n)) return mark;
    if (n < 2 || k < 1 || k > n) return mark;
    mark.kind = SubjectKind::Part;
    mark.name = std::string(subject.substr(0, at));
    mark.part = static_cast<std::uint32_t>(k);
    mark.parts = static_cast<std::uint32_t>(n);
    mark.tag = std::string(rest.substr(0, 8));
    return mark;
}

std::string PartSubject(const std::string& name, std::uint32_t part, std::uint32_t parts, const std::string& tag) {
    if (parts == 1) return name;
    return name + " [part " + std::to_string(part) + " of " + std::to_string(parts) + " #" + tag + "]";
}

std::string PartAttachmentName(const std::string& name, std::uint32_t part, std::uint32_t parts) {
    if (parts == 1) return name;
    std::string number = std::to_string(part);
    std::size_t width = std::to_string(parts).size();
    if (width < 3) width = 3;
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return name + "." + number;
}

}  // namespace catalog
