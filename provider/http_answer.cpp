#include "http_answer.h"

namespace provider {

const char* StatusText(int status) {
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    }
    return "Unknown";
}

std::string AnswerHead(int status, const HeaderList& headers, std::optional<unsigned long long> contentLength,
                       const char* connection) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) + "\r\n";
    head += "Server: vantlo-provider\r\n";
    for (const auto& header : headers) head += header.first + ": " + header.second + "\r\n";
    if (contentLength) head += "Content-Length: " + std::to_string(*contentLength) + "\r\n";
    head += std::string("Connection: ") + connection + "\r\n\r\n";
    return head;
}

std::string AnswerText(const HttpAnswer& answer, AnswerCoding coding, const char* connection) {
    if (!answer.coded || coding == AnswerCoding::Plain)
        return AnswerHead(answer.status, answer.headers, answer.body.size(), connection) + answer.body;
    BodyEncoder encoder(coding, 6);
    std::string body;
    if (!encoder.Encode(answer.body, body) || !encoder.Finish(body))
        return AnswerText(PlainAnswer(500, "the answer could not be encoded\n"), AnswerCoding::Plain, connection);
    HeaderList headers = answer.headers;
    encoder.AddHeaders(headers);
    std::optional<unsigned long long> length;
    if (!encoder.Chunked()) length = body.size();
    return AnswerHead(answer.status, headers, length, connection) + body;
}

HttpAnswer PlainAnswer(int status, std::string text) {
    HttpAnswer answer;
    answer.status = status;
    answer.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    answer.body = std::move(text);
    return answer;
}

HttpAnswer ScriptAnswer(std::string script, const char* contentType) {
    HttpAnswer answer;
    answer.headers.emplace_back("Content-Type", contentType);
    answer.body = std::move(script);
    answer.coded = true;
    return answer;
}

}  // namespace provider
