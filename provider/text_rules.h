// What the provider accepts as an address, a folder name or a subject.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace provider {

constexpr std::size_t kMaxAddressBytes = 63;  // the client keeps the account name in 64 bytes
constexpr std::size_t kMaxFolderNameBytes = 255;
constexpr std::size_t kMaxSubjectBytes = 4096;

bool IsValidUtf8(std::string_view text);
// Any byte below 0x20, or 0x7F.
bool HasControlCharacter(std::string_view text);
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// local@domain with letters, digits and ". _ + -" in the local part, and
// letters, digits, "." and "-" in the domain; at most kMaxAddressBytes.
// Addresses are compared without regard to case; the store keeps them in
// lower case, which also makes them safe as directory names.
bool IsValidAddress(std::string_view address);

// Not empty, valid UTF-8, no control characters, at most kMaxFolderNameBytes.
bool IsValidFolderName(std::string_view name);
// Valid UTF-8, no control characters, at most kMaxSubjectBytes (may be empty).
bool IsValidSubject(std::string_view subject);

// The text without leading and trailing spaces and tabs (header values,
// cookie pieces, multipart parameters).
std::string_view TrimSpacesAndTabs(std::string_view text);

// "Name <addr>" or "addr": the address part, without the angle brackets.
std::string AddressOfRecipient(std::string_view recipient);

}  // namespace provider
