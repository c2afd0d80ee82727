#include "mainwindow/notice_fetch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "mainwindow/app_messages.h"
#include "mainwindow/notice_pane.h"
#include "platform/text.h"
#include "ui_driver.h"

namespace {

const char kAnswerHead[] = "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n\r\n";

session::Endpoint Loopback(std::uint16_t port) {
    return {session::kNoticeHost, "127.0.0.1", port};
}

session::ExchangeLimits ShortLimits() {
    session::ExchangeLimits limits;
    limits.idleTimeoutMs = 5000;
    return limits;
}

TEST(NoticeFetch, TheRequestIsOneGetWithItsSixLines) {
    session::Request request = mainwindow::NoticeRequest("notice.vantlo.example");
    EXPECT_FALSE(request.Overflowed());
    EXPECT_EQ(request.Text(),
              "GET /pubinfo/Vantlo HTTP/1.1\r\n"
              "Accept: */*\r\n"
              "Host: notice.vantlo.example\r\n"
              "Content-Type: application/xml\r\n"
              "User-Agent: Vantlo 1.1.10\r\n"
              "Connection: close\r\n"
              "\r\n");
}

TEST(NoticeFetch, TwelveAddressesWithTheOverrideApplied) {
    session::Session session;
    session.providerOverride = "127.0.0.1:4321";
    std::vector<session::Endpoint> endpoints = mainwindow::NoticeEndpoints(session);
    ASSERT_EQ(endpoints.size(), 12u);
    for (const session::Endpoint& endpoint : endpoints) {
        EXPECT_EQ(endpoint.hostLine, session::kNoticeHost);
        EXPECT_EQ(endpoint.dialHost, "127.0.0.1");
        EXPECT_EQ(endpoint.port, 4321);
    }
}

TEST(NoticeFetch, GoesToTheFirstAddressThatAccepts) {
    wintest::LoopbackServer server({std::string(kAnswerHead) + "\xEF\xBB\xBF公告: http://example.invalid/"});
    ASSERT_NE(server.Port(), 0);
    std::vector<session::Endpoint> endpoints = {
        Loopback(wintest::ClosedLoopbackPort()),
        Loopback(wintest::ClosedLoopbackPort()),
        Loopback(wintest::ClosedLoopbackPort()),
        Loopback(server.Port()),
        Loopback(server.Port()),  // never reached: the fourth accepted
    };
    std::string body;
    EXPECT_EQ(mainwindow::FetchNotice(endpoints, ShortLimits(), body), session::Status::Ok);
    EXPECT_EQ(body, "\xEF\xBB\xBF公告: http://example.invalid/");
    EXPECT_EQ(server.Connections(), 1);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], mainwindow::NoticeRequest(session::kNoticeHost).Text());
}

TEST(NoticeFetch, JoinsAnAnswerThatArrivesInPieces) {
    wintest::LoopbackServer server(
        {"HTTP/1.1 200 OK\r\nConn", "ection: close\r\n", "\r", "\nfirst ", "second ", "third"});
    std::string body;
    EXPECT_EQ(mainwindow::FetchNotice({Loopback(server.Port())}, ShortLimits(), body), session::Status::Ok);
    EXPECT_EQ(body, "first second third");
}

TEST(NoticeFetch, NoAcceptingAddressLeavesNothing) {
    std::string body = "old";
    std::vector<session::Endpoint> endpoints(3, Loopback(wintest::ClosedLoopbackPort()));
    EXPECT_EQ(mainwindow::FetchNotice(endpoints, ShortLimits(), body), session::Status::ConnectFailed);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(mainwindow::FetchNotice({}, ShortLimits(), body), session::Status::ConnectFailed);
}

TEST(NoticeFetch, AnAnswerWithoutBodyIsRefused) {
    wintest::LoopbackServer headOnly({"HTTP/1.1 200 OK\r\nConnection: close\r\n"});
    std::string body;
    EXPECT_EQ(mainwindow::FetchNotice({Loopback(headOnly.Port())}, ShortLimits(), body), session::Status::Refused);
    wintest::LoopbackServer emptyBody({kAnswerHead});
    EXPECT_EQ(mainwindow::FetchNotice({Loopback(emptyBody.Port())}, ShortLimits(), body), session::Status::Refused);
}

TEST(NoticeText, DropsAByteOrderMarkButNoText) {
    EXPECT_EQ(mainwindow::NoticeTextFromBody("\xEF\xBB\xBFhello"), L"hello");
    // Without a mark every character stays (five characters show as five).
    EXPECT_EQ(mainwindow::NoticeTextFromBody("hello"), L"hello");
    EXPECT_EQ(mainwindow::NoticeTextFromBody("公告"), L"公告");
    EXPECT_EQ(mainwindow::NoticeTextFromBody(""), L"");
    EXPECT_EQ(mainwindow::NoticeTextFromBody("\xEF\xBB\xBF"), L"");
}

// The provider serves the notice; the addresses before it refuse.
TEST(LiveNoticeFetch, TheProviderAnswersAfterThreeRefusingAddresses) {
    std::string provider = wintest::ProviderAddress();
    ASSERT_FALSE(provider.empty()) << "run through run-wine-test.sh with a provider";
    session::Session session;
    session.providerOverride = provider;
    std::vector<session::Endpoint> endpoints(3, Loopback(wintest::ClosedLoopbackPort()));
    for (const session::Endpoint& endpoint : mainwindow::NoticeEndpoints(session)) endpoints.push_back(endpoint);
    std::string body;
    ASSERT_EQ(mainwindow::FetchNotice(endpoints, ShortLimits(), body), session::Status::Ok);
    std::wstring text = mainwindow::NoticeTextFromBody(body);
    EXPECT_EQ(text.rfind(L"欢迎使用 Vantlo", 0), 0u);
    EXPECT_NE(text.find(L"http://" + platform::Utf8ToWide(provider) + L"/pubinfo/Vantlo"), std::wstring::npos);
}

// The fetch thread's hand-over: it posts the text to the window it was
// given and never touches a window itself.
class NoticeHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        target_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override {
        if (IsWindow(target_)) DestroyWindow(target_);
        mainwindow::noticePane = nullptr;
    }
    HWND target_ = nullptr;
};

TEST_F(NoticeHandOver, PostsTheTextToTheMainWindow) {
    wintest::LoopbackServer server({std::string(kAnswerHead) + "\xEF\xBB\xBF"
                                                               "news"});
    mainwindow::NoticeFetchThread(target_, {Loopback(server.Port())}, ShortLimits());
    MSG message{};
    ASSERT_TRUE(
        PeekMessageW(&message, target_, mainwindow::kNoticeTextMessage, mainwindow::kNoticeTextMessage, PM_REMOVE));
    std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(message.lParam));
    EXPECT_EQ(*text, L"news");
}

TEST_F(NoticeHandOver, AFailedFetchPostsNothing) {
    mainwindow::NoticeFetchThread(target_, {Loopback(wintest::ClosedLoopbackPort())}, ShortLimits());
    MSG message{};
    EXPECT_FALSE(
        PeekMessageW(&message, target_, mainwindow::kNoticeTextMessage, mainwindow::kNoticeTextMessage, PM_REMOVE));
}

TEST_F(NoticeHandOver, ALateAnswerGoesNowhere) {
    // The pane was destroyed by the first folder opening: the text is dropped.
    HWND pane = CreateWindowExW(0, L"Edit", L"placeholder", WS_CHILD, 0, 0, 10, 10, target_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    mainwindow::noticePane = pane;
    mainwindow::DestroyNoticePane();
    EXPECT_EQ(mainwindow::noticePane, nullptr);
    EXPECT_FALSE(IsWindow(pane));
    mainwindow::OnNoticeText(reinterpret_cast<LPARAM>(new std::wstring(L"late")));
    // The main window itself may be gone as well: the post fails quietly.
    wintest::LoopbackServer server({std::string(kAnswerHead) + "late"});
    DestroyWindow(target_);
    mainwindow::NoticeFetchThread(target_, {Loopback(server.Port())}, ShortLimits());
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(NoticeHandOver, AnAnswerInTimeReplacesThePlaceholder) {
    HWND pane = CreateWindowExW(0, L"Edit", mainwindow::kNoticePlaceholder, WS_CHILD, 0, 0, 10, 10, target_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    mainwindow::noticePane = pane;
    mainwindow::OnNoticeText(reinterpret_cast<LPARAM>(new std::wstring(L"公告")));
    wchar_t text[16] = {};
    GetWindowTextW(pane, text, 16);
    EXPECT_STREQ(text, L"公告");
}

}  // namespace
