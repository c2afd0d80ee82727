// Answers: a status, header lines and a body, sent whole and followed by
// the server closing the connection.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace provider {

struct HttpAnswer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // beyond Content-Length and Connection
    std::string body;
};

const char* StatusText(int status);

// "HTTP/1.1 S TEXT", the headers, Content-Length, Connection, the blank line.
std::string AnswerHead(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                       unsigned long long contentLength, const char* connection = "close");
// Head and body in one text.
std::string AnswerText(const HttpAnswer& answer, const char* connection = "close");

// A short UTF-8 text, for errors and the notice.
HttpAnswer PlainAnswer(int status, std::string text);
// Script text of the webmail functions.
HttpAnswer ScriptAnswer(std::string script);

}  // namespace provider
