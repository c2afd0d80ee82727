#include "account_file.h"

#include <gtest/gtest.h>

namespace provider {
namespace {

TEST(AccountFile, EscapesEveryFieldBreakingCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain 文件", "plain 文件"},
        {"tab\there", "tab\\there"},
        {"line\nbreak\r", "line\\nbreak\\r"},
        {"back\\slash", "back\\\\slash"},
        {"\\t", "\\\\t"},
    };
    for (const auto& [raw, escaped] : cases) {
        EXPECT_EQ(EscapeField(raw), escaped);
        std::string back;
        ASSERT_TRUE(UnescapeField(escaped, back));
        EXPECT_EQ(back, raw);
    }
    std::string out;
    EXPECT_FALSE(UnescapeField("ends with \\", out));
    EXPECT_FALSE(UnescapeField("\\x", out));
}

TEST(AccountFile, RoundTripsAWholeAccount) {
    AccountData account;
    account.address = "demo@163.example";
    account.password = "p\tw\\d";
    account.nextFolderId = 65553;
    account.nextMessageSeq = 4;
    account.userFolders = {{65550, "R&D <2026>"}, {65552, "tab\tand\nline"}};
    MessageRecord message;
    message.id = "1tbi0000000001abcdef";
    message.fid = 65552;
    message.size = 2048;
    message.attachmentSize = 1024;
    message.sentAt = 1767580198;
    message.receivedAt = 1767580200;
    message.seq = 1;
    message.read = true;
    message.from = "demo@163.example";
    message.to = "demo@163.example, b@126.example";
    message.subject = "O'Brien \\ 文件.txt";
    MessageRecord bare = message;
    bare.id = "1tbi0000000002abcdef";
    bare.attachmentSize = -1;
    bare.read = false;
    bare.subject = "";
    account.messages = {message, bare};
    account.composes = {{"composeid0001", 1767580000}};

    AccountData back;
    std::string error;
    ASSERT_TRUE(ParseAccount(SerializeAccount(account), back, error)) << error;
    EXPECT_EQ(back.address, account.address);
    EXPECT_EQ(back.password, account.password);
    EXPECT_EQ(back.nextFolderId, 65553);
    EXPECT_EQ(back.nextMessageSeq, 4);
    ASSERT_EQ(back.userFolders.size(), 2u);
    EXPECT_EQ(back.userFolders[1].name, "tab\tand\nline");
    ASSERT_EQ(back.messages.size(), 2u);
    EXPECT_EQ(back.messages[0].subject, message.subject);
    EXPECT_EQ(back.messages[0].to, message.to);
    EXPECT_EQ(back.messages[0].attachmentSize, 1024);
    EXPECT_TRUE(back.messages[0].read);
    EXPECT_EQ(back.messages[1].attachmentSize, -1);
    EXPECT_FALSE(back.messages[1].Attached());
    EXPECT_EQ(back.messages[1].subject, "");
    ASSERT_EQ(back.composes.size(), 1u);
    EXPECT_EQ(back.composes[0].createdAt, 1767580000);
    EXPECT_EQ(SerializeAccount(back), SerializeAccount(account));
}

TEST(AccountFile, RefusesDamagedIndexes) {
    const std::string head = "vantlo-account 1\naddress\ta@b.example\n";
    const char* cases[] = {
        "",
        "vantlo-account 2\naddress\ta@b.example\n",
        "vantlo-account 1\n",                      // no address
        "vantlo-account 1\naddress\ta@b.example",  // last line cut
        "vantlo-account 1\naddress\ta@b.example\nfolder\tx\tname\n",
        "vantlo-account 1\naddress\ta@b.example\nfolder\t65550\n",
        "vantlo-account 1\naddress\ta@b.example\nmessage\tid\t1\n",
        "vantlo-account 1\naddress\ta@b.example\nwhat\t1\n",
        "vantlo-account 1\naddress\ta@b.example\nnext-folder\t99999999999999999999\n",
        "vantlo-account 1\naddress\ta@b.exam\\ple\n",
        "vantlo-account 1\naddress\ta@b.example\n\n",
    };
    for (const char* text : cases) {
        AccountData account;
        std::string error;
        EXPECT_FALSE(ParseAccount(text, account, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    AccountData account;
    std::string error;
    EXPECT_TRUE(ParseAccount(head, account, error)) << error;
}

TEST(AccountData, CountsFoldersFromTheirMessages) {
    AccountData account;
    account.userFolders = {{65551, "b"}, {65550, "a"}};
    auto add = [&](std::int64_t fid, std::int64_t size, bool read) {
        MessageRecord m;
        m.id = std::to_string(account.messages.size());
        m.fid = fid;
        m.size = size;
        m.read = read;
        account.messages.push_back(m);
    };
    add(kInboxId, 100, false);
    add(kInboxId, 50, true);
    add(65550, 7, false);
    FolderStats inbox = account.AllStats()[kInboxId];
    EXPECT_EQ(inbox.messageCount, 2);
    EXPECT_EQ(inbox.messageSize, 150);
    EXPECT_EQ(inbox.unreadMessageCount, 1);
    EXPECT_EQ(inbox.unreadMessageSize, 100);
    EXPECT_EQ(account.AllStats()[65551].messageCount, 0);
    std::vector<FolderRecord> all = account.AllFolders();
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[0].name, "收件箱");
    EXPECT_EQ(all[4].name, "垃圾邮件");
    EXPECT_EQ(all[5].id, 65550);  // user folders in id order
    EXPECT_TRUE(account.NameTaken("已发送", 65550));
    EXPECT_TRUE(account.NameTaken("b", 65550));
    EXPECT_FALSE(account.NameTaken("b", 65551));
    EXPECT_EQ(MailSize(10, 5), kMailOverheadBytes + 15);
    EXPECT_EQ(MailSize(10, -1), kMailOverheadBytes + 10);
    EXPECT_EQ(MailSize(10, kMaxAttachmentBytes), kMaxAttachmentBytes);
}

}  // namespace
}  // namespace provider
