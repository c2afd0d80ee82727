#include "imap/part_message.h"

#include "catalog/format_values.h"
#include "imap/header_words.h"
#include "imap/transfer_coding.h"

namespace imap {
namespace {

// The manifest as the text body: as it stands when it is short-lined ASCII,
// else base64 (names may hold any character).
std::string TextBody(const std::string& text, const std::string& boundary) {
    std::string crlf;
    bool plain = text.find(boundary) == std::string::npos;
    std::size_t line = 0;
    for (char c : text) {
        if (c == '\r') continue;
        plain = plain && (c == '\n' || (c >= 0x20 && c <= 0x7E)) && ++line < 900;
        if (c == '\n') line = 0, crlf += '\r';
        crlf += c;
    }
    if (!crlf.empty() && crlf.back() != '\n') crlf += "\r\n";
    if (plain) return "Content-Transfer-Encoding: 7bit\r\n\r\n" + crlf;
    return "Content-Transfer-Encoding: base64\r\n\r\n" + Base64Lines(text.data(), text.size());
}

}  // namespace

std::string MailDate(std::int64_t utcSeconds) {
    static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::string iso = catalog::FormatUtc(utcSeconds);  // YYYY-MM-DDTHH:MM:SSZ
    const int month = std::stoi(iso.substr(5, 2));
    return std::string(kDays[(utcSeconds / 86400) % 7]) + ", " + iso.substr(8, 2) + " " + kMonths[month - 1] + " " +
           iso.substr(0, 4) + " " + iso.substr(11, 8) + " +0000";
}

PartMessage ComposePart(const catalog::PartUpload& part, const std::string& from, const std::string& messageId,
                        const std::string& boundary, std::int64_t now) {
    PartMessage message;
    message.head = "From: " + from + "\r\nTo: " + from + "\r\nDate: " + MailDate(now) +
                   "\r\nSubject: " + EncodeHeader(part.subject) + "\r\nMessage-ID: <" + messageId +
                   ">\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n boundary=\"" + boundary +
                   "\"\r\n\r\nThis is a file stored by Vantlo, in MIME format.\r\n\r\n--" + boundary +
                   "\r\nContent-Type: text/plain; charset=utf-8\r\n" + TextBody(part.text, boundary) + "\r\n--" +
                   boundary + "\r\nContent-Type: application/octet-stream" +
                   EncodeParameter("name", part.attachmentName) + "\r\nContent-Disposition: attachment" +
                   EncodeParameter("filename", part.attachmentName) + "\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    message.attachment = Base64LinesSize(part.length);
    message.tail = "\r\n--" + boundary + "--\r\n";
    return message;
}

}  // namespace imap
