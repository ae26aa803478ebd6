#include "engine/command_text.h"

#include <gtest/gtest.h>

namespace {

TParams Items(std::initializer_list<const char*> list)
{
    TParams items;
    for (const char* item : list) items.emplace_back(item);
    return items;
}

} // namespace

TEST(SplitLines, AcceptsEachSeparatorAndStopsAtZeroByte)
{
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (std::vector<std::string>{"a"})) << "a final separator adds no empty line";
    EXPECT_EQ(SplitLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"})) << "LF CR is two separators";
    EXPECT_EQ(SplitLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"})) << "a blank line stays a line";
    EXPECT_EQ(SplitLines(std::string("a\r\nb\0c\r\nd", 10)), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitLines("last without break"), (std::vector<std::string>{"last without break"}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(SplitCommaText, FollowsTheItemRules)
{
    EXPECT_EQ(SplitCommaText("action=save,OrigLen=5,Filename=*PgmPath*\\a.txt"),
              Items({"action=save", "OrigLen=5", "Filename=*PgmPath*\\a.txt"}));
    EXPECT_EQ(SplitCommaText("name=Brumo Morvane"), Items({"name=Brumo", "Morvane"}))
        << "a blank ends an unquoted item";
    EXPECT_EQ(SplitCommaText("\"Filename=C:\\a\"\"b\""), Items({"Filename=C:\\a\"b"}))
        << "a doubled quote inside quotes stands for one";
    EXPECT_EQ(SplitCommaText("\"MyStartMenu=*StartMenu*\\Morvane\\\",x=1"),
              Items({"MyStartMenu=*StartMenu*\\Morvane\\", "x=1"}));
    EXPECT_EQ(SplitCommaText("\"ab\"cd"), Items({"ab", "cd"})) << "text right after a closing quote is a new item";
    EXPECT_EQ(SplitCommaText("\"a, bc"), Items({"a, b"})) << "unclosed quote: rest of line but its last character";
    EXPECT_EQ(SplitCommaText("a,"), Items({"a", ""})) << "a comma at the very end adds an empty item";
    EXPECT_EQ(SplitCommaText("a, "), Items({"a"})) << "only a comma that ends the line adds an empty item";
    EXPECT_EQ(SplitCommaText("a,,b"), Items({"a", "", "b"}));
    EXPECT_EQ(SplitCommaText(" \t a = b ,\x01 c"), Items({"a", "=", "b", "c"}))
        << "blanks and control characters around items are skipped";
    EXPECT_EQ(SplitCommaText("\"\",x"), Items({"", "x"}));
    EXPECT_TRUE(SplitCommaText("").empty());
    EXPECT_TRUE(SplitCommaText("   ").empty());
}

TEST(SplitCommaText, ReportsAQuoteLeftOpen)
{
    const struct {
        const char* line;
        bool unclosed;
    } cases[] = {
        {"action=save,\"Filename=a b", true},
        {"\"", true},
        {"a,\"b\"\",c", true},  // the doubled quote does not close the item
        {"\"x\"\"\"", false},
        {"\"a b\",\"c, d\"", false},
        {"a=\"b", false},  // a quote inside an unquoted item is text
        {"", false},
    };
    for (const auto& c : cases) {
        bool unclosed = !c.unclosed;
        const TParams items = SplitCommaText(c.line, &unclosed);
        EXPECT_EQ(unclosed, c.unclosed) << c.line;
        EXPECT_EQ(items, SplitCommaText(c.line)) << "the report does not change the items: " << c.line;
    }
    bool unclosed = true;
    SplitCommaText(std::string("a,\0\"b", 5), &unclosed);
    EXPECT_FALSE(unclosed) << "a zero byte ends the line before the quote";
}

TEST(ParamValue, FirstItemWithTheNameLetterCaseIgnored)
{
    const TParams params = SplitCommaText("OrigLen=5,origlen=7,Action=save,bare,Expr=a=b,Empty=");
    EXPECT_EQ(ParamValue(params, "OrigLen"), "5") << "the first match wins";
    EXPECT_EQ(ParamValue(params, "ORIGLEN"), "5");
    EXPECT_EQ(ParamValue(params, "action"), "save");
    EXPECT_EQ(ParamValue(params, "Expr"), "a=b") << "further '=' belong to the value";
    EXPECT_EQ(ParamValue(params, "bare"), "") << "an item without '=' has no name";
    EXPECT_EQ(ParamValue(params, "missing"), "");
    EXPECT_TRUE(HasParam(params, "empty"));
    EXPECT_FALSE(HasParam(params, "bare"));
    EXPECT_EQ(ParamValue(SplitCommaText(" value = x"), "value"), "") << "values and names are not trimmed";
}

TEST(QuoteItem, RoundTripsThroughTheSplitter)
{
    const TParams items = Items({"Filename=C:\\a b\\c, d.rtf", "plain=1", "q=\"x\"", "", "\"lead"});
    EXPECT_EQ(SplitCommaText(JoinCommaText(items)), items);
    EXPECT_EQ(QuoteItem("plain=1"), "plain=1");
    EXPECT_EQ(QuoteItem("name=Brumo Morvane"), "\"name=Brumo Morvane\"");
}
