#include "gti/registr_old/formula.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using formula::Calculator;
using formula::FormulaException;

double eval(const std::string& text, const formula::ValueFunction& value_of) {
    Calculator calc;
    return calc.calculate(text, value_of);
}

double eval(const std::string& text) {
    return eval(text, [](const std::string&) { return 0.0; });
}

// The message of the FormulaException the formula raises, or "" when none.
std::string error_of(const std::string& text) {
    try {
        eval(text);
    } catch (const FormulaException& e) {
        return e.what();
    }
    return "";
}

TEST(Formula, ResultsOfTheDocumentedExamples) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"", 0},        {"2+3*4", 14},   {"(2+3)*4", 20},     {"2^3^2", 64}, {"10-4-3", 3},    {"8/2/2", 2},
        {"-5", -5},     {"+5", 5},       {"3>2", 1},          {"2>3", 0},    {"0.00001=0", 1}, {"3<2", 0},
        {"2<3", 1},     {"1=1.0002", 0}, {" 2 + 3 ", 5},      {"2,5*2", 5},  {",5+.5", 1},     {"-2^2", -4},
        {"-2+3", 1},    {"-(2)+3", 1},   {"5-(-3)", 8},       {"5-(+3)", 2}, {"-(-3)", 3},     {"2*(-3)", -6},
        {"((-3))", -3}, {"1e5/1e4", 10}, {"2-3*(-2)^2", -10},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(eval(c.text), c.value) << c.text;
}

TEST(Formula, ResultsAreRoundedToSinglePrecision) {
    EXPECT_EQ(eval("0.1+0.2"), static_cast<double>(0.1f + 0.2f));
    EXPECT_EQ(eval("1/3"), static_cast<double>(1.0f / 3.0f));
}

TEST(Formula, ErrorMessagesWordForWord) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"2*-3", "Некорректная польская нотация"},
        {"1/0", "Деление на ноль"},
        {"1/(0.000001)", "Деление на ноль"},
        {"2#3", "Некорректный символ в формуле:#"},
        {"2№3", "Некорректный символ в формуле:№"},
        {"1[2", "Некорректный оператор"},
        {"[1]", "Некорректная польская нотация"},
        {"2 3", ""},  // blanks do not end a number: this is the number 23
        {"2(3)", "Некорректная польская нотация"},
        {"+ +", "Некорректная польская нотация"},  // an operator with nothing before it
        {"+", "Ошибка в программе"},
        {"1e-5", "Некорректное число в формуле: 1e"},
        {"12abc+1", "Некорректное число в формуле: 12abc"},
        {"1.2.3", "Некорректное число в формуле: 1.2.3"},
        {".", "Некорректное число в формуле: ."},
    };
    for (const auto& c : cases) EXPECT_EQ(error_of(c.text), c.message) << c.text;
    EXPECT_EQ(eval("2 3"), 23);
}

TEST(Formula, InvalidUtf8IsReportedAsAQuestionMark) {
    EXPECT_EQ(error_of(std::string("1+\xff")), "Некорректный символ в формуле:?");
}

TEST(Formula, TooManyReductionStepsAreRefused) {
    std::string text = "1";
    for (int i = 0; i < 256; ++i) text += "+1";
    EXPECT_EQ(eval(text), 257);  // 256 steps is the most allowed
    text += "+1";
    EXPECT_EQ(error_of(text), "Ошибка в алгоритме вычисления значения из польской нотации");
}

TEST(Formula, NamesGoToTheValueFunction) {
    std::vector<std::string> asked;
    const auto value_of = [&](const std::string& name) {
        asked.push_back(name);
        return name == "веснакрюке" ? 12.5 : 2.0;
    };
    EXPECT_EQ(eval("вес на крюке * 2", value_of), 25);
    EXPECT_EQ(eval("число_свечей+var.x+a,b", value_of), 6);
    EXPECT_EQ(asked, (std::vector<std::string>{"веснакрюке", "число_свечей", "var.x", "a,b"}));
}

TEST(Formula, EmptyValueFunctionGivesZeroButStillChecksTheText) {
    const formula::ValueFunction none;
    EXPECT_EQ(eval("2+3", none), 0);
    EXPECT_THROW(eval("2#3", none), FormulaException);
    // A lone name reduced without a value function reads as 0.
    std::deque<formula::Lexema> tokens, rpn;
    Calculator::divide("x+2", tokens);
    Calculator::polskaya_notacia(tokens, rpn);
    EXPECT_EQ(Calculator::calc(rpn, none), 2);
}

TEST(Formula, ExceptionsOfTheValueFunctionPassThrough) {
    const auto failing = [](const std::string&) -> double { throw std::out_of_range("no such value"); };
    EXPECT_THROW(eval("a+1", failing), std::out_of_range);
}

TEST(Formula, TokensAndReversePolishOrder) {
    std::deque<formula::Lexema> tokens, rpn;
    Calculator::divide("a1+2,5*(b-3)", tokens);
    std::string kinds;
    for (const auto& t : tokens) kinds += std::to_string(t.kind);
    EXPECT_EQ(kinds, "120221202");  // name, operator, number
    ASSERT_EQ(tokens.size(), 9u);
    EXPECT_EQ(tokens[2].text, "2,5");
    EXPECT_DOUBLE_EQ(tokens[2].value, 2.5);
    Calculator::polskaya_notacia(tokens, rpn);
    std::string order;
    for (const auto& t : rpn) order += t.text + " ";
    EXPECT_EQ(order, "a1 2,5 b 3 - * + ");
}

// Random formulas without signs, against Python's double-precision values
// (testdata/make_formula_vectors.py). The evaluator rounds every step to
// single precision, so the tolerance follows the largest magnitude met.
TEST(Formula, RandomFormulasAgreeWithAnIndependentEvaluator) {
    const std::map<std::string, double> names = {
        {"a", 1.5}, {"b", -2.25}, {"c", 3.0}, {"вес_на_крюке", 0.5}, {"x.y", 10.0}};
    const auto value_of = [&](const std::string& name) { return names.at(name); };

    std::ifstream in(std::string(STATION_SOURCE_DIR) + "/gti/registr_old/testdata/formula_vectors.txt");
    ASSERT_TRUE(in.good());
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        const auto t1 = line.find('\t');
        const auto t2 = line.find('\t', t1 + 1);
        ASSERT_NE(t2, std::string::npos) << line;
        const std::string text = line.substr(0, t1);
        double expected = 0, scale = 0;
        std::from_chars(line.data() + t1 + 1, line.data() + t2, expected);
        std::from_chars(line.data() + t2 + 1, line.data() + line.size(), scale);
        EXPECT_NEAR(eval(text, value_of), expected, 1e-4 * std::max(1.0, scale)) << text;
        ++count;
    }
    EXPECT_EQ(count, 400);
}

}  // namespace
