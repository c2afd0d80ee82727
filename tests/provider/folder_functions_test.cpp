// mbox:getAllFolders, mbox:createUserFolders, mbox:updateFolders and
// mbox:deleteFolders against a real provider, and the refusals of every
// script function. (A tree made, renamed, moved whole and deleted from the
// leaves up, with the refusals that keep it whole, is the MailStore
// contract's, against this provider too.)
#include "session/cells.h"
#include "session/folders.h"
#include "signed_in_provider.h"

namespace providertest {
namespace {

using session::Status;

class FolderFunctions : public SignedInProvider {
protected:
    std::string Create(const std::string& name, const std::string& parent = {}) {
        std::string id;
        return session::CreateUserFolder(s, name, id, parent) == Status::Ok ? id : s.refusalCode;
    }
};

std::string Items(const std::string& inner) {
    return "<?xml version=\"1.0\"?><object><array name=\"items\">" + inner + "</array></object>";
}
std::string Named(const std::string& name) {
    return "<object><string name=\"name\">" + name + "</string></object>";
}
std::string Nested(const std::string& name, const std::string& parent) {
    return "<object><string name=\"name\">" + name + "</string><int name=\"parent\">" + parent + "</int></object>";
}
std::string MoveUnder(const std::string& id, const std::string& parent) {
    return Items("<object><int name=\"id\">" + id + "</int><int name=\"parent\">" + parent + "</int></object>");
}
std::string Ids(const std::string& id) {
    return "<object><array name=\"ids\"><int>" + id + "</int></array></object>";
}

TEST_F(FolderFunctions, CreatesRenamesAndDeletesWithNamesAsTyped) {
    // The system folders, with the members in the order the client's reader walks them.
    std::string system;
    int id = 0;
    for (const char* name : {"收件箱", "草稿箱", "已发送", "已删除", "垃圾邮件"}) {
        system += std::string(++id == 1 ? "{'id':" : ",{'id':");
        system += std::to_string(id) + ",'name':'" + name +
                  "','parent':0,'messageCount':0,'messageSize':0,'unreadMessageCount':0,'unreadMessageSize':0,"
                  "'threadCount':0,'unreadThreadCount':0}";
    }
    EXPECT_EQ(Call(s, "mbox:getAllFolders", "<object/>").body, "{'code':'S_OK','var':[" + system + "]}");
    const std::vector<std::string> names = {"R&D <2026>", "it's \"quoted\"", "back\\slash", "文件夹 id", "paid"};
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(Create(names[i]), std::to_string(65550 + i));
    const std::vector<session::FolderRow> folders = Folders(s);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(FolderById(folders, std::to_string(65550 + i))->name, names[i]);
    // The create answer carries the new id as 'var':[ID], exactly.
    EXPECT_EQ(Call(s, "mbox:createUserFolders", Items(Named("more"))).body, "{'code':'S_OK','var':[65555]}");
    EXPECT_EQ(session::RenameFolder(s, "R&D <2027> 'x' \\", "65550"), Status::Ok);
    EXPECT_EQ(FolderById(Folders(s), "65550")->name, std::string("R&D <2027> 'x' \\"));
    EXPECT_EQ(session::DeleteFolder(s, "65551"), Status::Ok);
    EXPECT_EQ(FolderById(Folders(s), "65551"), nullptr);
    EXPECT_EQ(Create("again"), "65556");  // ids are never given out twice
}

// The deepest level is a clear refusal, for a new folder and for a subtree moved down.
TEST_F(FolderFunctions, NestingStopsAtSixteenLevels) {
    std::string parent = "0";
    for (int level = 1; level <= 16; ++level)
        ASSERT_EQ(parent = Create("l" + std::to_string(level), parent), std::to_string(65549 + level));
    EXPECT_EQ(Create("l17", parent), "FA_FOLDER_TOO_DEEP");
    const std::string top = Create("top");
    ASSERT_EQ(Code("mbox:createUserFolders", Items(Nested("under", top))), "S_OK");
    // top with its child is two levels: under level 15 it would reach 17; under level 14 it fits.
    EXPECT_EQ(session::MoveFolder(s, top, "65564"), Status::Refused);
    EXPECT_EQ(s.refusalCode, "FA_FOLDER_TOO_DEEP");
    EXPECT_EQ(session::MoveFolder(s, top, "65563"), Status::Ok);
}

// Refusals of the folder and message functions: the code alone, nothing changed.
TEST_F(FolderFunctions, RefusalsChangeNothing) {
    ASSERT_EQ(Create("mine"), "65550");
    const std::string a = "<array name=\"ids\"><string>" + Mail("a") + "</string>";
    const std::string list = "<object><int name=\"fid\">1</int></object>";
    const std::string before =
        Call(s, "mbox:getAllFolders", "<object/>").body + Call(s, "mbox:listMessages", list).body;
    const std::string search =
        "<object><array name=\"conditions\"><object><string name=\"field\">from</string>"
        "<string name=\"operator\">contains</string><string name=\"operand\">a</string></object></array></object>";
    const std::string sid(session::CellText(s.sid));
    const std::string coremail = "Coremail=" + std::string(14, 'x') + sid + ";";
    const struct Case {
        std::string func, body, sid, coremail, code;  // sid and cookie: "" for the session's own
    } cases[] = {
        {"mbox:updateFolders", Items("<object><int name=\"id\">1</int><string name=\"name\">x</string></object>"), "",
         "", "FA_FORBIDDEN"},
        {"mbox:deleteFolders", Ids("70000"), "", "", "FA_FOLDER_NOT_FOUND"},
        {"mbox:updateFolders", MoveUnder("1", "65550"), "", "", "FA_FORBIDDEN"},
        {"mbox:updateFolders",
         Items("<object><int name=\"id\">65550</int><string name=\"name\">收件箱</string></object>"), "", "",
         "FA_NAME_EXISTS"},
        {"mbox:createUserFolders", Items(Named("mine")), "", "", "FA_NAME_EXISTS"},
        {"mbox:createUserFolders", Items(Named("new") + Named("new")), "", "", "FA_NAME_EXISTS"},
        {"mbox:createUserFolders", Items(Named("")), "", "", "FA_INVALID_PARAMETER"},
        {"mbox:createUserFolders", Items(Named("a&#10;b")), "", "", "FA_INVALID_PARAMETER"},
        {"mbox:createUserFolders", Items(Named("R&D")), "", "", "FA_PARSE_ERROR"},
        {"mbox:deleteFolders", Ids("65550x"), "", "", "FA_INVALID_PARAMETER"},
        {"mbox:deleteFolders", "<array name=\"ids\"><int>65550</int></array>", "", "", "FA_INVALID_PARAMETER"},
        {"mbox:deleteFolders", Ids("65550"), std::string(32, 'A'), "", "FA_INVALID_SESSION"},
        {"mbox:deleteFolders", Ids("65550"), "", "Coremail=;", "FA_INVALID_SESSION"},
        {"mbox:deleteFolders", Ids("65550"), "", coremail, "FA_INVALID_SESSION"},
        {"mbox:formatDisk", Ids("65550"), "", "", "FA_UNKNOWN_FUNCTION"},
        {"mbox:updateMessageInfos",
         "<object>" + a +
             "<string>x</string></array><object name=\"attrs\"><int name=\"fid\">3</int></object></object>",
         "", "", "FA_MESSAGE_NOT_FOUND"},
        {"mbox:updateMessageInfos", "<object>" + a + "</array></object>", "", "", "FA_INVALID_PARAMETER"},
        {"mbox:updateMessageInfos",
         "<object>" + a + "</array><object name=\"attrs\"><int name=\"fid\">65551</int></object></object>", "", "",
         "FA_FOLDER_NOT_FOUND"},
        {"mbox:deleteMessages", "<object>" + a + "</object>", "", "", "FA_PARSE_ERROR"},
        {"mbox:listMessages", "<object><int name=\"fid\">70000</int></object>", "", "", "FA_FOLDER_NOT_FOUND"},
        {"mbox:readMessage", "<object><string name=\"id\">nope</string></object>", "", "", "FA_MESSAGE_NOT_FOUND"},
        {"mbox:searchMessages", search, "", "", "FA_INVALID_PARAMETER"},
    };
    for (const Case& c : cases) {
        session::Session other;
        session::CopySignIn(s, other);
        if (!c.sid.empty()) session::SetCell(other.sid, c.sid);
        if (!c.coremail.empty()) session::SetCell(other.coremailCookie, c.coremail);
        const Reply reply = Call(other, c.func, c.body);
        EXPECT_EQ(reply.Code(), 200) << c.body;
        EXPECT_EQ(reply.body, "{'code':'" + c.code + "'}") << c.func << " " << c.body;
    }
    EXPECT_EQ(Call(s, "mbox:getAllFolders", "<object/>").body + Call(s, "mbox:listMessages", list).body, before);
    // Another session of the account works alongside; its sid with this cookie does not.
    session::Session second;
    ASSERT_EQ(SignInTo(second, Provider(), kTestAccount, kTestPassword), Status::Ok);
    std::string made;
    EXPECT_EQ(session::CreateUserFolder(second, "from the second", made), Status::Ok);
    EXPECT_EQ(made, "65551");
    session::SetCell(second.coremailCookie, session::CellText(s.coremailCookie));
    EXPECT_EQ(CodeOf(Call(second, "mbox:getAllFolders", "<object/>").body), "FA_INVALID_SESSION");
}

}  // namespace
}  // namespace providertest
