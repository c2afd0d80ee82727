#include "account_file.h"

#include <gtest/gtest.h>

namespace provider {
namespace {

TEST(AccountFile, RoundTripsAnAccountReadsEarlierIndexesAndRefusesDamagedOnes) {
    AccountData account;
    account.address = "demo@163.example";
    account.password = "p\tw\\d";
    account.userFolders = {{65550, "R&D <2026>"}, {65552, "tab\tand\nline"}, {65553, "inner", 65550}};
    MessageRecord message;
    message.id = "1tbi0000000001abcdef";
    message.attachmentSize = 1024;
    message.subject = "O'Brien \\ 文件.txt";
    message.filename = "文件.txt.002";
    message.content = "vantlo-file: 1\nname: 文件.txt\r\n";
    account.messages = {message, MessageRecord()};
    account.composes = {{"composeid0001", 1767580000}};
    AccountData back;
    std::string error;
    ASSERT_TRUE(ParseAccount(SerializeAccount(account), back, error)) << error;
    EXPECT_EQ(SerializeAccount(back), SerializeAccount(account));
    EXPECT_EQ(back.userFolders.at(2).parent, 65550);
    // A message record of twelve fields: no attachment name, no text.
    const std::string head = "vantlo-account 1\naddress\ta@b.example\n";
    ASSERT_TRUE(ParseAccount(head + "message\tid1\t1\t2048\t1000\t1\t2\t0\t1\ta\tb\tsub\n", back, error)) << error;
    EXPECT_EQ(back.messages.at(0).AttachmentName() + "|" + back.messages.at(0).content, "sub|");
    for (const std::string& damaged :
         {std::string("vantlo-account 2\naddress\ta@b.example\n"), std::string("vantlo-account 1\n"),
          head.substr(0, head.size() - 1), head + "folder\tx\tname\n", head + "folder\t65550\tname\tx\n",
          head + "message\tid1\t1\t2048\t1000\t1\t2\t0\t1\ta\tb\tsub\tname\n", head + "what\t1\n",
          head + "password\tends with \\\n", head + "password\t\\x\n"})
        EXPECT_FALSE(ParseAccount(damaged, back, error)) << damaged;
}

}  // namespace
}  // namespace provider
