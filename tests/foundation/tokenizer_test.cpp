#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "foundation/tokenizer.h"

namespace {

std::vector<std::string> tokensOf(const char* line) {
    std::vector<std::string> tokens;
    Tokenizer tokenizer(line);
    while (tokenizer.next())
        tokens.push_back(std::string(tokenizer.tokenStart, tokenizer.cursor));
    EXPECT_EQ(tokenizer.tokenStart, tokenizer.end);
    EXPECT_FALSE(tokenizer.next());  // stays at the end
    return tokens;
}

struct SplitCase {
    const char* line;
    std::vector<std::string> tokens;
};

TEST(Tokenizer, SplitsOnRunsOfBlanks) {
    const SplitCase cases[] = {
        {"go  wtime 1000", {"go", "wtime", "1000"}},
        {"   ", {}},
        {"", {}},
        {"  uci", {"uci"}},
        {"stop  ", {"stop"}},
        {"a b\tc", {"a", "b\tc"}},  // only the separator splits
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(tokensOf(c.line), c.tokens) << '"' << c.line << '"';
}

TEST(Tokenizer, NewTokenizerStartsAtLineStart) {
    const char* line = "quit";
    Tokenizer tokenizer(line);
    EXPECT_EQ(tokenizer.lineStart, line);
    EXPECT_EQ(tokenizer.tokenStart, line);
    EXPECT_EQ(tokenizer.cursor, line);
    EXPECT_EQ(tokenizer.end, line + 4);
    EXPECT_EQ(tokenizer.separator, ' ');
}

TEST(Tokenizer, OtherSeparator) {
    Tokenizer tokenizer("a,,b", ',');
    ASSERT_TRUE(tokenizer.next());
    ASSERT_TRUE(tokenizer.next());
    EXPECT_EQ(std::string(tokenizer.tokenStart, tokenizer.cursor), "b");
}

struct NumberCase {
    const char* token;
    long value;
};

TEST(Tokenizer, TokenIntReadsTheCurrentTokenOnly) {
    const NumberCase cases[] = {
        {"1000", 1000}, {"-25", -25}, {"+7", 7}, {"12abc", 12}, {"abc", 0}, {"0", 0},
    };
    for (const NumberCase& c : cases) {
        // A digit right after the token must not be read as part of it.
        const std::string line = std::string("x ") + c.token + " 99";
        Tokenizer tokenizer(line.c_str());
        ASSERT_TRUE(tokenizer.next());
        ASSERT_TRUE(tokenizer.next());
        EXPECT_EQ(tokenizer.tokenInt(), c.value) << c.token;
    }
}

TEST(Tokenizer, TokenIntUsesAtMost63Characters) {
    // 62 zeros and "12...": only the 63rd character, a 1, is a significant digit.
    const std::string token = std::string(62, '0') + std::string("12345678");
    Tokenizer tokenizer(token.c_str());
    ASSERT_TRUE(tokenizer.next());
    EXPECT_EQ(tokenizer.tokenInt(), 1);

    const std::string seventyDigits(70, '7');
    Tokenizer longToken(seventyDigits.c_str());
    ASSERT_TRUE(longToken.next());
    EXPECT_EQ(longToken.tokenInt(), LONG_MAX);  // strtol saturates, no overflow
}

struct PrefixCase {
    const char* text;
    const char* word;
    bool matches;
};

TEST(StartsWith, PrefixRules) {
    const PrefixCase cases[] = {
        {"goodbye", "go", true},
        {"go", "go", true},
        {"g", "go", false},
        {"", "go", false},
        {"anything", "", true},
        {"Go", "go", false},  // case-sensitive
    };
    for (const PrefixCase& c : cases)
        EXPECT_EQ(startsWith(c.text, c.word), c.matches) << c.text << " / " << c.word;
}

// Command words are compared against the text at a token's start, so a word
// holding a blank matches across two tokens, and the first word that matches
// in a fixed order wins.
TEST(StartsWith, CommandWordsMatchAcrossTokensFirstWins) {
    const char* words[] = {"ucinewgame", "uci", "position startpos", "position", "go"};
    struct Case {
        const char* line;
        int firstToken;  // index of the word matching the first token, -1 for none
    } cases[] = {
        {"ucinewgame", 0},
        {"uci", 1},
        {"ucix", 1},
        {"position startpos moves e2e4", 2},
        {"position fen 8/8/8/8/8/8/8/8 w - - 0 1", 3},
        {"gox", 4},
        {"stop", -1},
    };
    for (const auto& c : cases) {
        Tokenizer tokenizer(c.line);
        ASSERT_TRUE(tokenizer.next());
        int found = -1;
        for (int i = 0; i < int(sizeof words / sizeof words[0]) && found < 0; i++)
            if (startsWith(tokenizer.tokenStart, words[i]))
                found = i;
        EXPECT_EQ(found, c.firstToken) << c.line;
    }
}

}  // namespace
