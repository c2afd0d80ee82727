// The roles that share the provider's one port, told apart by path:
//
//   POST /logins.jsp                  central sign-in server
//   GET  /coremail/fcg/ntesdoor2      entry server (first domain)
//   GET  /cgi/ntesdoor                entry server (second and third domains)
//   POST /a/s                         webmail host: the script functions
//   POST /a/p/upload.html             webmail host: file upload into a compose session
//   GET  /js3/read/readdata.jsp       webmail host: attachment download
//   GET  /pubinfo/Vantlo              notice server
#pragma once

#include <optional>
#include <string>

#include "connection.h"
#include "http_answer.h"
#include "http_request.h"
#include "request_reader.h"
#include "server_context.h"

namespace provider {

HttpAnswer SignInAnswer(ServerContext& context, const HttpRequest& request, const std::string& body);
HttpAnswer EntryAnswer(ServerContext& context, const HttpRequest& request);
HttpAnswer WebmailAnswer(ServerContext& context, const HttpRequest& request, const std::string& body);
HttpAnswer NoticeAnswer(ServerContext& context);
// These two send their answers themselves: they stream.
void ServeUpload(ServerContext& context, const HttpRequest& request, BodyReader& body, Connection& connection);
void ServeDownload(ServerContext& context, const HttpRequest& request, Connection& connection);

// The account of a webmail request: the sid of its query must name a
// session, and its Coremail cookie must be that session's.
std::optional<std::string> WebSessionAccount(ServerContext& context, const HttpRequest& request);

}  // namespace provider
