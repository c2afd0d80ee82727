#include "raw_mail.h"

#include <ctime>

#include "url_codec.h"

namespace provider {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineBytes = 57;  // 76 characters of base64

std::string Base64(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(value >> 18) & 63];
        out += kAlphabet[(value >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(value >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[value & 63] : '=';
    }
    return out;
}

// An encoded word, so that any UTF-8 subject stays one header line.
std::string EncodedWord(const std::string& text) {
    return "=?UTF-8?B?" + Base64(text) + "?=";
}

std::string MailDate(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", &utc);
    return text;
}
}  // namespace

std::string Base64Lines(const char* bytes, std::size_t length) {
    std::string out;
    for (std::size_t at = 0; at < length; at += kLineBytes) {
        std::size_t n = length - at < kLineBytes ? length - at : kLineBytes;
        out += Base64(std::string(bytes + at, n));
        out += "\r\n";
    }
    return out;
}

std::string RawMailHead(const MessageRecord& message, const std::string& boundary) {
    std::string head = "Message-ID: <" + message.id + "@vantlo-provider>\r\n";
    head += "Date: " + MailDate(message.sentAt) + "\r\n";
    head += "From: " + message.from + "\r\nTo: " + message.to + "\r\n";
    head += "Subject: " + EncodedWord(message.subject) + "\r\n";
    head += "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    // The text as it is (its lines are short: a manifest), so it reads as
    // it was stored.
    head += "--" + boundary + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
    head += message.content;
    if (message.content.empty() || message.content.back() != '\n') head += "\r\n";
    if (message.Attached()) {
        head += "--" + boundary + "\r\nContent-Type: application/octet-stream\r\n";
        head += "Content-Disposition: attachment; filename*=UTF-8''" + PercentEncode(message.AttachmentName()) + "\r\n";
        head += "Content-Transfer-Encoding: base64\r\n\r\n";
    }
    return head;
}

std::string RawMailTail(const std::string& boundary) {
    return "--" + boundary + "--\r\n";
}

}  // namespace provider
