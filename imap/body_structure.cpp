#include "imap/body_structure.h"

#include <utility>

#include "imap/client.h"
#include "imap/header_words.h"

namespace imap {
namespace {

using Parameters = std::vector<std::pair<std::string, std::string>>;

constexpr std::size_t kMaxLeaves = 1000;

Parameters ParametersOf(const Value& list) {
    Parameters parameters;
    for (std::size_t i = 0; i + 1 < list.items.size(); i += 2)
        parameters.emplace_back(list.items[i].text, list.items[i + 1].text);
    return parameters;
}

Outcome Leaf(const Value& body, const std::string& section, MailStructure& structure) {
    if (structure.leaves.size() >= kMaxLeaves) return Failure(StoreCode::Corrupt, "a mail of too many parts");
    BodyPart part;
    part.section = section;
    part.type = body.At(0).Lower();
    part.subtype = body.At(1).Lower();
    const Parameters parameters = ParametersOf(body.At(2));
    part.charset = ParameterValue(parameters, "charset");
    part.encoding = body.At(5).Lower();
    if (!ParseNumber(body.At(6).text, ~std::uint64_t(0) >> 2, part.octets))
        return Failure(StoreCode::Corrupt, "a body structure without part size");
    // The extension data follows the fields of the part's kind.
    std::size_t extension = 7;
    if (part.type == "text") extension = 8;
    if (part.type == "message" && part.subtype == "rfc822") extension = 10;
    const Value& disposition = body.At(extension + 1);
    part.name = ParameterValue(ParametersOf(disposition.At(1)), "filename");
    if (part.name.empty()) part.name = ParameterValue(parameters, "name");
    part.attachment = disposition.At(0).Lower() == "attachment" || !part.name.empty() ||
                      (part.type != "text" && part.type != "message");
    if (structure.text < 0 && !part.attachment && part.type == "text" && part.subtype == "plain")
        structure.text = static_cast<int>(structure.leaves.size());
    if (part.attachment) structure.attachments.push_back(static_cast<int>(structure.leaves.size()));
    structure.leaves.push_back(std::move(part));
    return Success();
}

Outcome Walk(const Value& body, const std::string& section, MailStructure& structure) {
    if (!body.IsList() || body.items.empty()) return Failure(StoreCode::Corrupt, "a garbled body structure");
    if (!body.items.front().IsList()) return Leaf(body, section.empty() ? "1" : section, structure);
    for (std::size_t i = 0; i < body.items.size() && body.items[i].IsList(); ++i) {
        const std::string child = (section.empty() ? "" : section + ".") + std::to_string(i + 1);
        Outcome outcome = Walk(body.items[i], child, structure);
        if (!outcome.Ok()) return outcome;
    }
    return Success();
}

}  // namespace

Outcome ReadStructure(const Value& body, MailStructure& structure) {
    structure = MailStructure();
    return Walk(body, "", structure);
}

}  // namespace imap
