// Answers: a status, header lines and a body, sent whole; the Connection
// line says whether the server closes the connection after it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "answer_coding.h"

namespace provider {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpAnswer {
    int status = 200;
    HeaderList headers;  // beyond Content-Length and Connection
    std::string body;
    bool coded = false;  // a script answer: it travels in the provider's answer coding
};

const char* StatusText(int status);

// "HTTP/1.1 S TEXT", the headers, Content-Length (when given), Connection,
// the blank line.
std::string AnswerHead(int status, const HeaderList& headers, std::optional<unsigned long long> contentLength,
                       const char* connection = "close");
// Head and body in one text; a coded answer in `coding`.
std::string AnswerText(const HttpAnswer& answer, AnswerCoding coding = AnswerCoding::Plain,
                       const char* connection = "close");

// A short UTF-8 text, for errors and the notice.
HttpAnswer PlainAnswer(int status, std::string text);
// Script text of the webmail functions and the upload.
HttpAnswer ScriptAnswer(std::string script, const char* contentType = "text/javascript; charset=utf-8");

}  // namespace provider
