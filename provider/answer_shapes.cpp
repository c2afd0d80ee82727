#include "answer_shapes.h"

namespace provider {

namespace {

void WriteCounters(ScriptWriter& writer, const FolderStats& stats) {
    // Every message is a thread of its own here.
    writer.Member("messageCount", stats.messageCount)
        .Member("messageSize", stats.messageSize)
        .Member("unreadMessageCount", stats.unreadMessageCount)
        .Member("unreadMessageSize", stats.unreadMessageSize)
        .Member("threadCount", stats.messageCount)
        .Member("unreadThreadCount", stats.unreadMessageCount);
}

std::string DomainOf(const std::string& address) {
    std::size_t at = address.find('@');
    return at == std::string::npos ? address : address.substr(at + 1);
}

}  // namespace

void BeginOkAnswer(ScriptWriter& writer) {
    writer.BeginObject().Member("code", "S_OK");
}

void EndAnswer(ScriptWriter& writer) {
    writer.EndObject();
}

std::string FaultAnswer(AnswerStyle style, Fault fault) {
    ScriptWriter writer(style);
    writer.BeginObject().Member("code", FaultCode(fault)).EndObject();
    return writer.Result();
}

void WriteFolder(ScriptWriter& writer, const FolderListing& folder) {
    writer.BeginObject().Member("id", folder.folder.id).Member("name", folder.folder.name);
    writer.Member("parent", folder.folder.parent);
    if (writer.Style() == AnswerStyle::Neat) {
        WriteCounters(writer, folder.stats);
    } else {
        writer.Member("keepPeriod", 0).Key("expirytime").DayDate(2026, 0, 1);
        writer.Key("stats").BeginObject();
        WriteCounters(writer, folder.stats);
        writer.EndObject();
    }
    writer.EndObject();
}

void WriteMessage(ScriptWriter& writer, const MessageRecord& message, std::size_t summaryWindow) {
    const bool field = writer.Style() == AnswerStyle::Field;
    writer.BeginObject()
        .Member("id", message.id)
        .Member("fid", message.fid)
        .Member("size", message.size)
        .Member("from", message.from)
        .Member("to", message.to)
        .Member("subject", message.subject);
    writer.Key("sentDate").Date(LocalDateParts(message.sentAt));
    writer.Key("receivedDate").Date(LocalDateParts(message.receivedAt));
    writer.Member("priority", 3).Member("backgroundColor", 0).Member("antiVirusStatus", "").Member("label0", 0);
    writer.Key("flags").BeginObject();
    if (!field) {
        writer.MemberBool("read", message.read).MemberBool("draft", false).MemberBool("attached", message.Attached());
    } else {
        // The provider in the field leaves out flags that are false and
        // mixes in flags of its own.
        if (message.read) writer.MemberBool("read", true);
        writer.MemberBool("system", false);
        if (message.Attached()) writer.MemberBool("attached", true);
        writer.MemberBool("report", false);
    }
    writer.EndObject();
    if (field) {
        writer.Member("hmid", "<" + message.id + "@" + DomainOf(message.from) + ">");
        writer.Key("ctrls").BeginObject().EndObject();
    }
    if (summaryWindow > 0) writer.Member("summary", LeadingCharacters(message.content, summaryWindow));
    writer.EndObject();
}

std::string_view LeadingCharacters(std::string_view text, std::size_t characters) {
    std::size_t at = 0;
    for (; at < text.size() && characters > 0; --characters) {
        const unsigned char lead = static_cast<unsigned char>(text[at++]);
        const std::size_t follow = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        for (std::size_t i = 0; i < follow && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
             ++i)
            ++at;
    }
    return text.substr(0, at);
}

void WriteMessagePage(ScriptWriter& writer, const MessagePage& page, bool withTotal, std::size_t summaryWindow) {
    BeginOkAnswer(writer);
    writer.Key("var").BeginArray();
    for (const MessageRecord& message : page.messages) WriteMessage(writer, message, summaryWindow);
    writer.EndArray();
    if (withTotal || writer.Style() == AnswerStyle::Field) writer.Member("total", page.total);
    EndAnswer(writer);
}

namespace {

// The attachment's part number in the download address (part=3).
constexpr std::int64_t kAttachmentPartId = 3;

void WriteAttachments(ScriptWriter& writer, const MessageRecord& message) {
    writer.Key("attachments").BeginArray();
    if (message.Attached()) {
        writer.BeginObject();
        if (writer.Style() == AnswerStyle::Neat) {
            writer.Member("id", kAttachmentPartId)
                .Member("filename", message.AttachmentName())
                .Member("contentLength", message.attachmentSize);
        } else {
            writer.Member("contentLength", message.attachmentSize)
                .Member("contentType", "application/octet-stream")
                .Member("filename", message.AttachmentName())
                .Member("id", kAttachmentPartId)
                .Member("estimateSize", message.attachmentSize * 4 / 3);
        }
        writer.EndObject();
    }
    writer.EndArray();
}

}  // namespace

void WriteReadMessage(ScriptWriter& writer, const MessageRecord& message) {
    writer.BeginObject();
    if (writer.Style() == AnswerStyle::Neat) {
        writer.Member("id", message.id).Member("subject", message.subject);
        writer.Key("text").BeginObject().Member("content", message.content).EndObject();
        WriteAttachments(writer, message);
    } else {
        writer.EscapeBeyondAscii(true);
        writer.Member("fid", message.fid).Member("size", message.size);
        WriteAttachments(writer, message);
        writer.Key("sentDate").Date(LocalDateParts(message.sentAt));
        writer.Member("from", message.from).Member("to", message.to).Member("subject", message.subject);
        writer.Key("text").BeginObject().Member("contentType", "text/plain").Member("content", message.content);
        writer.Member("contentLength", static_cast<std::int64_t>(message.content.size())).EndObject();
        writer.Member("id", message.id).Member("priority", 3);
        writer.EscapeBeyondAscii(false);
    }
    writer.EndObject();
}

}  // namespace provider
