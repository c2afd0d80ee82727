// The readers of hostile input: XML bodies, request URIs, request heads,
// If headers, dates.
#include <gtest/gtest.h>

#include <tuple>

#include "dav/http.h"
#include "dav/locks.h"
#include "dav/paths.h"
#include "dav/xml.h"

namespace {

TEST(DavXml, AcceptsOnlyPlainNamespacedXml) {
    std::string deep, wide = "<a>";
    for (int i = 0; i < 100; ++i) deep = "<a>" + deep + "</a>";
    for (int i = 0; i < 30000; ++i) wide += "<b/>";
    struct Case {
        std::string text;
        bool ok;
        const char* ns;    // of the root
        const char* name;  // of the root
    } cases[] = {
        {"<D:propfind xmlns:D=\"DAV:\"><D:allprop/></D:propfind>", true, "DAV:", "propfind"},
        {"<?xml version=\"1.0\"?><propfind xmlns='DAV:'/>", true, "DAV:", "propfind"},
        {"<a xmlns=\"x:\"><!-- c --><b/></a>", true, "x:", "a"},
        {"<a>&lt;&#65;&#x42;</a>", true, "", "a"},
        {"<a><![CDATA[<b>]]></a>", true, "", "a"},
        // A DTD, an entity of its own or an external one: refused outright.
        {"<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>", false, "", ""},
        {"<a>&x;</a>", false, "", ""},
        {"<a><!ENTITY x SYSTEM \"file:///etc/passwd\"></a>", false, "", ""},
        // Namespaces: undeclared prefix, prefix bound to nothing.
        {"<D:a/>", false, "", ""},
        {"<a><bar:foo xmlns:bar=\"\"/></a>", false, "", ""},
        // Not well formed.
        {"<a>", false, "", ""},
        {"<a></b>", false, "", ""},
        {"<a/><b/>", false, "", ""},
        {"<a x=\"1\" x=\"2\"/>", false, "", ""},
        {"<a>&#0;</a>", false, "", ""},
        {"<a>&#xD800;</a>", false, "", ""},
        {"<a>&#x110000;</a>", false, "", ""},
        {"", false, "", ""},
        // Depth and count are bounded.
        {deep, false, "", ""},
        {wide + "</a>", false, "", ""},
    };
    for (const Case& c : cases) {
        dav::XmlElement root;
        std::string error;
        bool ok = dav::ParseXml(c.text, root, error);
        EXPECT_EQ(ok, c.ok) << c.text.substr(0, 80) << " " << error;
        if (ok && c.ok) {
            EXPECT_EQ(root.ns, c.ns) << c.text;
            EXPECT_EQ(root.name, c.name) << c.text;
        }
    }
}

TEST(DavPaths, OnlyTheTreeBelowTheTokenResolves) {
    const std::string token = "t0k3n";
    struct Case {
        const char* uri;
        dav::UriResult result;
        const char* path;
    } cases[] = {
        {"/t0k3n/", dav::UriResult::Ok, "/"},
        {"/t0k3n", dav::UriResult::Ok, "/"},
        {"/t0k3n/a%20b/c", dav::UriResult::Ok, "/a b/c"},
        {"/t0k3n//a/", dav::UriResult::Ok, "/a"},
        {"/t0k3n/%E6%96%87", dav::UriResult::Ok, "/\xE6\x96\x87"},
        {"http://127.0.0.1:8/t0k3n/a", dav::UriResult::Ok, "/a"},
        {"/t0k3n/a?x=1", dav::UriResult::Ok, "/a"},
        // Without the token, or another host: not ours.
        {"/", dav::UriResult::NotOurs, ""},
        {"/t0k3/", dav::UriResult::NotOurs, ""},
        {"/t0k3nX/", dav::UriResult::NotOurs, ""},
        {"/T0K3N/", dav::UriResult::NotOurs, ""},
        {"http://elsewhere:8/t0k3n/a", dav::UriResult::NotOurs, ""},
        {"ftp://127.0.0.1:8/t0k3n/a", dav::UriResult::NotOurs, ""},
        // Ways out of the tree, however spelled.
        {"/t0k3n/../x", dav::UriResult::Malformed, ""},
        {"/t0k3n/a/%2e%2e/%2E%2E/x", dav::UriResult::Malformed, ""},
        {"/t0k3n/a/./b", dav::UriResult::Malformed, ""},
        {"/t0k3n/a%2fb", dav::UriResult::Malformed, ""},
        {"/t0k3n/a%5c..%5cb", dav::UriResult::Malformed, ""},
        {"/t0k3n/a\\b", dav::UriResult::Malformed, ""},
        {"/t0k3n/a%00b", dav::UriResult::Malformed, ""},
        {"/t0k3n/a%zz", dav::UriResult::Malformed, ""},
        {"/t0k3n/a%2", dav::UriResult::Malformed, ""},
        {"/t0k3n/a#f", dav::UriResult::Malformed, ""},
        {"t0k3n/a", dav::UriResult::Malformed, ""},
    };
    for (const Case& c : cases) {
        std::string path;
        bool slash = false;
        EXPECT_EQ(dav::ResolveUri(c.uri, "127.0.0.1:8", token, path, slash), c.result) << c.uri;
        if (c.result == dav::UriResult::Ok) {
            EXPECT_EQ(path, c.path) << c.uri;
        }
    }
    // What we write resolves back to the same path.
    for (const char* path : {"/a b/c#d", "/%41", "/\xE6\x96\x87/x?y", "/semi;colon"}) {
        std::string back;
        bool slash = false;
        ASSERT_EQ(dav::ResolveUri(dav::HrefOf(token, path, false), "h", token, back, slash), dav::UriResult::Ok);
        EXPECT_EQ(back, path);
    }
    // A name that starts like another is not inside it.
    for (const auto& [path, ancestor, within] : std::initializer_list<std::tuple<const char*, const char*, bool>>{
             {"/a/b", "/a", true}, {"/a", "/a", true}, {"/ab", "/a", false}, {"/a", "/a/b", false}, {"/x", "/", true}})
        EXPECT_EQ(dav::IsWithin(path, ancestor), within) << path << " in " << ancestor;
}

TEST(DavHttp, RequestHeads) {
    struct Case {
        const char* head;
        dav::HeadResult result;
    } cases[] = {
        {"GET /x HTTP/1.1\r\nHost: h", dav::HeadResult::Ok},
        {"GET /x HTTP/1.0", dav::HeadResult::Ok},
        {"GET /x HTTP/1.1", dav::HeadResult::Malformed},  // no Host
        {"GET /x HTTP/2.0\r\nHost: h", dav::HeadResult::Malformed},
        {"GET /x\r\nHost: h", dav::HeadResult::Malformed},
        {"G(T /x HTTP/1.1\r\nHost: h", dav::HeadResult::Malformed},
        {"GET /x y HTTP/1.1\r\nHost: h", dav::HeadResult::Malformed},
        {"GET /x HTTP/1.1\r\nHost: h\r\n folded", dav::HeadResult::Malformed},
        {"GET /x HTTP/1.1\r\nHost: h\r\nContent-Length: 1\r\nContent-Length: 2", dav::HeadResult::Malformed},
        {"GET /x HTTP/1.1\r\nHost: h\r\nBad Name: 1", dav::HeadResult::Malformed},
        {"GET /x HTTP/1.1\r\nHost: h\r\nX: a\x01", dav::HeadResult::Malformed},
    };
    for (const Case& c : cases) {
        dav::Request request;
        EXPECT_EQ(dav::ParseHead(c.head, 100, request), c.result) << c.head;
    }
    dav::Request request;
    // The bound is a count of fields: exactly as many as it allows pass.
    for (int fields : {100, 101}) {
        std::string head = "GET / HTTP/1.1\r\nHost: h";
        for (int i = 1; i < fields; ++i) head += "\r\nX" + std::to_string(i) + ": v";
        EXPECT_EQ(dav::ParseHead(head, 100, request), fields <= 100 ? dav::HeadResult::Ok : dav::HeadResult::TooLarge)
            << fields;
    }
}

TEST(DavHttp, DatesRoundTrip) {
    struct Case {
        std::int64_t seconds;
        const char* http;
        const char* iso;
    } cases[] = {
        {0, "Thu, 01 Jan 1970 00:00:00 GMT", "1970-01-01T00:00:00Z"},
        {784111777, "Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06T08:49:37Z"},
        {951782400, "Tue, 29 Feb 2000 00:00:00 GMT", "2000-02-29T00:00:00Z"},
        {-1, "Wed, 31 Dec 1969 23:59:59 GMT", "1969-12-31T23:59:59Z"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dav::HttpDate(c.seconds), c.http);
        EXPECT_EQ(dav::IsoDate(c.seconds), c.iso);
        std::int64_t back = 1;
        EXPECT_TRUE(dav::ParseHttpDate(c.http, back));
        EXPECT_EQ(back, c.seconds);
    }
    std::int64_t ignored;
    for (const char* bad : {"", "Sun, 06 Nov 1994", "Sun, 32 Nov 1994 08:49:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT"})
        EXPECT_FALSE(dav::ParseHttpDate(bad, ignored)) << bad;
}

TEST(DavLocks, IfHeaders) {
    struct Case {
        const char* header;
        bool ok;
        std::size_t lists;
    } cases[] = {
        {"(<opaquelocktoken:a>)", true, 1},
        {"(<opaquelocktoken:a> [\"e\"]) (Not <DAV:no-lock> [\"e\"])", true, 2},
        {"<http://h/t/x> (<opaquelocktoken:a>) (<b>)", true, 2},
        {"(Not <DAV:no-lock>)", true, 1},
        {"", false, 0},
        {"()", false, 0},
        {"(<a>", false, 0},
        {"(<a> [\"e\")", false, 0},
        {"<http://h/t/x>", false, 0},
        {"(a)", false, 0},
    };
    for (const Case& c : cases) {
        std::vector<dav::IfList> lists;
        EXPECT_EQ(dav::ParseIfHeader(c.header, lists), c.ok) << c.header;
        if (c.ok) {
            EXPECT_EQ(lists.size(), c.lists) << c.header;
        }
    }
    std::vector<dav::IfList> lists;
    ASSERT_TRUE(dav::ParseIfHeader("<u> (Not <DAV:no-lock> [W/\"e\"])", lists));
    EXPECT_EQ(lists[0].resource, "u");
    EXPECT_TRUE(lists[0].conditions[0].negated);
    EXPECT_TRUE(lists[0].conditions[1].isEtag);
    EXPECT_EQ(lists[0].conditions[1].value, "W/\"e\"");
}

TEST(DavLocks, ConflictsFollowScopeAndDepth) {
    struct Step {
        const char* root;
        bool infinite, exclusive, granted;
    } steps[] = {
        {"/a", true, false, true},                                  // shared, infinite on /a
        {"/a/b", false, false, true},                               // another shared below: fine
        {"/a/b", false, true, false},                               // exclusive under a shared: refused
        {"/", true, true, false},                                   // exclusive over them: refused
        {"/c", false, true, true},    {"/c", false, false, false},  // shared on an exclusive: refused
        {"/c/d", false, true, true},                                // depth 0 on /c does not reach /c/d
        {"/", false, true, true},                                   // depth 0 on the root reaches nothing below
    };
    dav::LockTable table;
    for (const Step& step : steps) {
        dav::LockInfo lock;
        lock.root = step.root;
        lock.infinite = step.infinite;
        lock.exclusive = step.exclusive;
        EXPECT_EQ(table.Add(lock), step.granted) << step.root;
        if (step.granted) {
            EXPECT_EQ(lock.token.compare(0, 16, "opaquelocktoken:"), 0);
        }
    }
    EXPECT_EQ(table.Covering("/a/b/c").size(), 1u);      // the infinite one on /a
    EXPECT_EQ(table.Covering("/c/x", true).size(), 1u);  // /c's depth 0 guards its members
    EXPECT_EQ(table.Covering("/c/x", false).size(), 0u);
    table.DropWithin("/a");
    EXPECT_EQ(table.Within("/a").size(), 0u);
    EXPECT_EQ(table.ClampTimeout(0), 3600);
    EXPECT_EQ(table.ClampTimeout(99999), 3600);
    EXPECT_EQ(table.ClampTimeout(60), 60);
}

}  // namespace
