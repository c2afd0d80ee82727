#include "script_writer.h"

#include <gtest/gtest.h>

#include "script_reader.h"

namespace provider {
namespace {

TEST(ScriptQuote, EscapesQuotesBackslashesAndControls) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"", "''"},
        {"plain", "'plain'"},
        {"O'Brien", "'O\\'Brien'"},
        {"a\\b", "'a\\\\b'"},
        {"\\'", "'\\\\\\''"},
        {"\xE6\x96\x87\xE4\xBB\xB6", "'\xE6\x96\x87\xE4\xBB\xB6'"},
        {"line\nbreak\x7F", "'line\\x0abreak\\x7f'"},
        {"\"double\"", "'\"double\"'"},
    };
    for (const Case& c : cases) EXPECT_EQ(ScriptQuote(c.in), c.out) << c.in;
}

void WriteSample(ScriptWriter& writer) {
    writer.BeginObject().Member("code", "S_OK").Key("var").BeginArray();
    writer.BeginObject().Member("id", 1).Member("name", "a'b").Key("d").Date(DateParts{2026, 8, 30, 23, 5, 9});
    writer.Key("flags").BeginObject().MemberBool("read", true).EndObject().EndObject();
    writer.BeginObject().Key("e").DayDate(2026, 0, 1).Key("empty").BeginObject().EndObject().EndObject();
    writer.Number(7).Text("t");
    writer.EndArray().Member("total", -2).EndObject();
}

TEST(ScriptWriter, WritesTheNeatForm) {
    ScriptWriter writer(AnswerStyle::Neat);
    WriteSample(writer);
    EXPECT_EQ(writer.Result(),
              "{'code':'S_OK','var':[{'id':1,'name':'a\\'b','d':new Date(2026,8,30,23,5,9),'flags':{'read':true}},"
              "{'e':new Date(2026,0,1),'empty':{}},7,'t'],'total':-2}");
}

TEST(ScriptWriter, FieldFormBreaksAfterEveryBraceAndSeparatingComma) {
    ScriptWriter writer(AnswerStyle::Field);
    WriteSample(writer);
    EXPECT_EQ(writer.Result(),
              "{\n'code':'S_OK',\n'var':[{\n'id':1,\n'name':'a\\'b',\n'd':new Date(2026,8,30,23,5,9),\n"
              "'flags':{\n'read':true}},\n{\n'e':new Date(2026,0,1),\n'empty':{\n}},\n7,\n't'],\n'total':-2}");
}

TEST(ScriptWriter, BothFormsReadBackAlike) {
    for (AnswerStyle style : {AnswerStyle::Neat, AnswerStyle::Field}) {
        ScriptWriter writer(style);
        WriteSample(writer);
        providertest::ScriptValue value;
        std::string error;
        ASSERT_TRUE(providertest::ParseScript(writer.Result(), value, error)) << error;
        const providertest::ScriptValue* var = value.Get("var");
        ASSERT_NE(var, nullptr);
        ASSERT_EQ(var->items.size(), 4u);
        EXPECT_EQ(var->items[0].Get("name")->text, "a'b");
        EXPECT_EQ(var->items[0].Get("d")->date, (std::vector<long long>{2026, 8, 30, 23, 5, 9}));
        EXPECT_EQ(var->items[2].number, 7);
        EXPECT_EQ(value.Get("total")->number, -2);
    }
}

}  // namespace
}  // namespace provider
