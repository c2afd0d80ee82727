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

std::string AnswerHead(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                       unsigned long long contentLength, const char* connection) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) + "\r\n";
    head += "Server: vantlo-provider\r\n";
    for (const auto& header : headers) head += header.first + ": " + header.second + "\r\n";
    head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    head += std::string("Connection: ") + connection + "\r\n\r\n";
    return head;
}

std::string AnswerText(const HttpAnswer& answer, const char* connection) {
    return AnswerHead(answer.status, answer.headers, answer.body.size(), connection) + answer.body;
}

HttpAnswer PlainAnswer(int status, std::string text) {
    HttpAnswer answer;
    answer.status = status;
    answer.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    answer.body = std::move(text);
    return answer;
}

HttpAnswer ScriptAnswer(std::string script) {
    HttpAnswer answer;
    answer.headers.emplace_back("Content-Type", "text/javascript; charset=utf-8");
    answer.body = std::move(script);
    return answer;
}

}  // namespace provider
